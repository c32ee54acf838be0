#include "main_dlg.h"

#include <process.h>

#include "../rules.h"
#include "../uninstall_context.h"

namespace {

constexpr wchar_t kWindowTitle[] = L"KovraPravik - 卸载程序";
constexpr int kAppIconId = 128;

// Pixel layout of the client area (640 x 390).
constexpr POINT kCloseButtonPos = {619, 5};
constexpr SIZE kCloseButtonSize = {11, 11};
constexpr POINT kUninstallingLabelPos = {30, 329};
constexpr POINT kPercentLabelPos = {588, 350};
constexpr POINT kFinishedLabelPos = {296, 252};
constexpr RECT kDoneButtonRect = {196, 330, 196 + 252, 330 + 30};
constexpr RECT kProgressRect = {30, 352, 576, 361};

constexpr COLORREF kGreyText = RGB(102, 102, 102);
constexpr COLORREF kTealText = RGB(42, 212, 170);

// Quit codes of the commands; they become the process exit code.
constexpr int kQuitDefaultCommand = 1;
constexpr int kQuitCloseButton = IDC_BTN_CLOSE;
constexpr int kQuitDone = 0;

}  // namespace

bool CMainDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return true;
    case WM_DESTROY:
      OnDestroy();
      result = 0;
      return true;
    case WM_NCDESTROY:
      callbackWindow_.store(nullptr);
      return false;
    case WM_ERASEBKGND:
      result = OnEraseBackground(reinterpret_cast<HDC>(wp));
      return true;
    case WM_NCHITTEST:
      return OnNcHitTest(lp, result);
    case WM_COMMAND:
      result = 0;
      return OnCommand(LOWORD(wp));
    case WM_TIMER:
      result = 0;
      return true;
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      return true;
    case WM_UNINSTALL_PROGRESS:
      OnPercentChanged(static_cast<int32_t>(wp));
      result = 0;
      return true;
    case WM_UNINSTALL_FINISHED:
      OnUninstallFinished();
      result = 0;
      return true;
    default:
      return false;
  }
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
  return m_hWnd != nullptr && ::IsDialogMessageW(m_hWnd, msg);
}

// The UI-update map holds no entries, so there is nothing to refresh.
BOOL CMainDlg::OnIdle() { return FALSE; }

int CMainDlg::OnProgress(int32_t percent) {
  const HWND hwnd = callbackWindow_.load();
  if (hwnd == nullptr || !::IsWindow(hwnd)) return 0;
  return ::PostMessageW(hwnd, WM_UNINSTALL_PROGRESS, WPARAM(percent), 0);
}

int CMainDlg::OnFinished() {
  const HWND hwnd = callbackWindow_.load();
  if (hwnd == nullptr || !::IsWindow(hwnd)) return 0;
  return ::PostMessageW(hwnd, WM_UNINSTALL_FINISHED, 0, 0);
}

LRESULT CMainDlg::OnInitDialog() {
  // 1. Centre on the work area of the nearest monitor (no owner to centre on).
  RECT window = {};
  ::GetWindowRect(m_hWnd, &window);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& w = monitor.rcWork;
    const uninstall::Point p = uninstall::CenterInWorkArea(
        {w.left, w.top, w.right, w.bottom}, window.right - window.left, window.bottom - window.top);
    ::SetWindowPos(m_hWnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // 2. Icons.
  const HINSTANCE instance = g_module.instance();
  bigIcon_.reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON),
                                                 ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
  smallIcon_.reset(static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

  // 3. Message filter and idle handler.
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }

  // 4. No caption bar.
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & ~WS_CAPTION);

  // 6. Title, for the taskbar button and the task switcher.
  ::SetWindowTextW(m_hWnd, kWindowTitle);

  // 9. Controls. Colours and fonts matter only to the skinned classes.
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);
  closeButton_.SubclassWindow(::GetDlgItem(m_hWnd, IDC_BTN_CLOSE));
  closeButton_.Place(kCloseButtonPos.x, kCloseButtonPos.y, kCloseButtonSize.cx,
                     kCloseButtonSize.cy);
  uninstallingLabel_.SubclassWindow(::GetDlgItem(m_hWnd, IDC_STATIC_UNINSTALLING));
  uninstallingLabel_.SetTextColor(kGreyText);
  percentLabel_.SubclassWindow(::GetDlgItem(m_hWnd, IDC_STATIC_PERCENT));
  percentLabel_.SetTextColor(kTealText);
  finishedLabel_.SubclassWindow(::GetDlgItem(m_hWnd, IDC_STATIC_FINISHED));
  finishedLabel_.SetTextColor(kGreyText);
  doneButton_.SubclassWindow(::GetDlgItem(m_hWnd, IDC_BTN_DONE));

  // 10. Pixel positions.
  uninstallingLabel_.MoveTo(kUninstallingLabelPos.x, kUninstallingLabelPos.y);
  percentLabel_.MoveTo(kPercentLabelPos.x, kPercentLabelPos.y);
  finishedLabel_.MoveTo(kFinishedLabelPos.x, kFinishedLabelPos.y);
  doneButton_.Place(kDoneButtonRect.left, kDoneButtonRect.top,
                    kDoneButtonRect.right - kDoneButtonRect.left,
                    kDoneButtonRect.bottom - kDoneButtonRect.top);

  // 11. Progress bar.
  if (progress_.Create(m_hWnd, kProgressRect)) progress_.Show(true);
  ::InvalidateRect(m_hWnd, &kProgressRect, TRUE);

  // 12. Page Progress.
  EnterProgressPage();

  // 13, 14. The uninstall starts as soon as the window exists.
  callbackWindow_.store(m_hWnd);
  UninstallContext::Instance().LoadInstallLocation();
  StartWorker();
  return TRUE;
}

void CMainDlg::EnterProgressPage() {
  page_ = Progress;
  uninstallingLabel_.Show(true);
  percentLabel_.Show(true);
  progress_.Show(true);
  finishedLabel_.Show(false);
  doneButton_.Show(false);
  closeButton_.Enable(false);
}

void CMainDlg::StartWorker() {
  if (worker_) return;  // one worker per dialog
  worker_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(
      nullptr, 0, UninstallThreadProc, static_cast<IUninstallCallBack*>(this), 0, nullptr)));
}

void CMainDlg::OnDestroy() {
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
}

LRESULT CMainDlg::OnEraseBackground(HDC dc) {
  // The skin paints the background image and the state icon here; plain controls get a plain
  // window-coloured background.
  RECT client = {};
  ::GetClientRect(m_hWnd, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_WINDOW));
  return 1;
}

bool CMainDlg::OnNcHitTest(LPARAM lp, LRESULT& result) {
  POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  ::ScreenToClient(m_hWnd, &pt);
  const HWND child = ::ChildWindowFromPoint(m_hWnd, pt);
  if (child != nullptr && child != m_hWnd) return false;  // the control gets the mouse
  result = HTCAPTION;                                     // the background drags the window
  return true;
}

bool CMainDlg::OnCommand(int id) {
  switch (id) {
    case IDOK:
      ::DestroyWindow(m_hWnd);
      ::PostQuitMessage(kQuitDefaultCommand);
      return true;
    case IDC_BTN_CLOSE:
      ::DestroyWindow(m_hWnd);
      ::PostQuitMessage(kQuitCloseButton);
      UninstallContext::Instance().WriteSelfDeleteScript();
      return true;
    case IDC_BTN_DONE:
      ::DestroyWindow(m_hWnd);
      ::PostQuitMessage(kQuitDone);
      UninstallContext::Instance().WriteSelfDeleteScript();
      return true;
    default:
      return false;  // IDCANCEL (Esc, Alt+F4) is ignored: the window stays open
  }
}

void CMainDlg::OnPercentChanged(int32_t percent) {
  progress_.SetPos(percent);
  percentLabel_.SetText(uninstall::PercentText(percent));
  ::RedrawWindow(percentLabel_.hwnd(), nullptr, nullptr,
                 RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
  // Repaint the background under the transparent label before the new text shows.
  RECT label = {};
  ::GetWindowRect(percentLabel_.hwnd(), &label);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&label), 2);
  ::InvalidateRect(m_hWnd, &label, TRUE);
  ::UpdateWindow(m_hWnd);
}

void CMainDlg::OnUninstallFinished() {
  page_ = Finished;
  uninstallingLabel_.Show(false);
  percentLabel_.Show(false);
  progress_.Show(false);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  finishedLabel_.Show(true);
  doneButton_.Show(true);
  closeButton_.Enable(true);
}
