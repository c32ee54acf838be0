#include "ui/main_dlg.h"

#include <process.h>

#include "core/window_rules.h"
#include "ui/skin/skin_resources.h"
#include "uninstall_context.h"

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

constexpr POINT kStateIconPos = {278, 149};

constexpr COLORREF kGreyText = RGB(102, 102, 102);
constexpr COLORREF kTealText = RGB(42, 212, 170);
constexpr COLORREF kDoneText = RGB(255, 255, 255);

// Shadow: 5 pixels on every side, light, soft to its full width.
constexpr int kShadowSize = 5;
constexpr unsigned kShadowDarkness = 20;
constexpr unsigned kShadowSharpness = 5;

// Both image lists belong to the skin's cache, so the buttons must not destroy them: hover mode
// plus the shared-images bit.
constexpr DWORD kButtonStyle = kv_skin::kBtnHoverMode | kv_skin::kBtnSharedImages;
// Image-list slots: normal 0, hover 1, pressed 2, disabled 3.
constexpr int kImageNormal = 0;
constexpr int kImageHover = 1;
constexpr int kImagePressed = 2;
constexpr int kImageDisabled = 3;

// Quit codes of the commands; they become the process exit code.
constexpr int kQuitDefaultCommand = 1;
constexpr int kQuitCloseButton = IDC_BTN_CLOSE;
constexpr int kQuitDone = 0;

void Show(HWND hwnd, bool visible) { ::ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE); }
void MoveTo(HWND hwnd, POINT at) {
  ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}
void Place(HWND hwnd, const RECT& rect) {
  ::SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER);
}
void RedrawNow(HWND hwnd) {
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

}  // namespace

int RunMainDialog(int showCommand) {
  // Never destroyed: the worker thread is never stopped and may still call the dialog's callbacks
  // after the window is gone, even while the process runs its exit code (which would destroy a
  // static object under the worker's feet).
  static CMainDlg* const dialog = new CMainDlg();
  if (dialog->Create(nullptr) == nullptr) return 0;
  ::ShowWindow(dialog->hwnd(), showCommand);
  CMessageLoop* loop = g_module.GetMessageLoop();
  return loop != nullptr ? loop->Run() : 0;
}

HWND CMainDlg::Create(HWND owner) { return CreateDialogWindow(g_module.instance(), IDD, owner); }

bool CMainDlg::HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
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
  return hwnd() != nullptr && ::IsDialogMessageW(hwnd(), msg);
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
  ::GetWindowRect(hwnd(), &window);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& w = monitor.rcWork;
    const uninstall::Point p = uninstall::CenterInWorkArea(
        {w.left, w.top, w.right, w.bottom}, window.right - window.left, window.bottom - window.top);
    ::SetWindowPos(hwnd(), nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // 2. Icons.
  const HINSTANCE instance = g_module.instance();
  bigIcon_.reset(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON),
                                                 ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
  smallIcon_.reset(static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

  // 3. Message filter and idle handler.
  if (CMessageLoop* loop = g_module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }

  // 4. No caption bar.
  ::SetWindowLongPtrW(hwnd(), GWL_STYLE, ::GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~WS_CAPTION);

  // 5. The window takes the background image's size, its top-left corner kept.
  kv_skin::CSkinResources& skin = kv_skin::CSkinResources::Instance();
  BITMAP background = {};
  if (::GetObjectW(skin.GetBackground(), sizeof(background), &background) != 0) {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, background.bmWidth, background.bmHeight,
                   SWP_NOZORDER | SWP_NOMOVE);
  }

  // 6. Title, for the taskbar button and the task switcher.
  ::SetWindowTextW(hwnd(), kWindowTitle);

  // 7. Drop shadow; offset (0, 0) and black stay.
  shadow_.AttachToParent(hwnd());
  shadow_.SetShadowSize(kShadowSize);
  shadow_.SetShadowDarkness(kShadowDarkness);
  shadow_.SetShadowSharpness(kShadowSharpness);

  // 8, 9. Font and skinned controls.
  skin.CreateDialogFont();
  SetUpControls();

  // 10. Pixel positions; the labels keep their template sizes.
  MoveTo(uninstallingLabel_.hwnd(), kUninstallingLabelPos);
  MoveTo(percentLabel_.hwnd(), kPercentLabelPos);
  MoveTo(finishedLabel_.hwnd(), kFinishedLabelPos);
  Place(doneButton_.hwnd(), kDoneButtonRect);

  // 11. Progress bar.
  if (progress_.Create(hwnd(), kProgressRect) != nullptr) Show(progress_.hwnd(), true);
  ::InvalidateRect(hwnd(), &kProgressRect, TRUE);

  // 12. Page Progress.
  EnterProgressPage();

  // 13, 14. The uninstall starts as soon as the window exists.
  callbackWindow_.store(hwnd());
  UninstallContext::Instance().LoadInstallLocation();
  StartWorker();
  return TRUE;
}

void CMainDlg::SetUpButton(kv_skin::CBitmapButtonEx& button, int id, HIMAGELIST images,
                           bool nineSlice, HFONT font) {
  button.Subclass(::GetDlgItem(hwnd(), id));
  button.SetBitmapButtonExtendedStyle(kButtonStyle);
  button.SetImageList(images);
  button.SetImages(kImageNormal, kImagePressed, kImageHover, kImageDisabled);
  button.SetHandCursor(true);
  button.SetNineSlice(nineSlice);
  ::SendMessageW(button.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CMainDlg::SetUpControls() {
  kv_skin::CSkinResources& skin = kv_skin::CSkinResources::Instance();
  const HFONT font = skin.GetDialogFont();
  ::SetWindowLongPtrW(hwnd(), GWL_STYLE, ::GetWindowLongPtrW(hwnd(), GWL_STYLE) | WS_MINIMIZEBOX);

  // The close glyph: its 11 x 11 image drawn as is.
  SetUpButton(closeButton_, IDC_BTN_CLOSE, skin.GetCloseImageList(), false, font);
  Place(closeButton_.hwnd(),
        {kCloseButtonPos.x, kCloseButtonPos.y, kCloseButtonPos.x + kCloseButtonSize.cx,
         kCloseButtonPos.y + kCloseButtonSize.cy});

  const struct {
    kv_skin::CSimpleLabel& label;
    int id;
    COLORREF color;
  } labels[] = {{uninstallingLabel_, IDC_STATIC_UNINSTALLING, kGreyText},
                {percentLabel_, IDC_STATIC_PERCENT, kTealText},
                {finishedLabel_, IDC_STATIC_FINISHED, kGreyText}};
  for (const auto& entry : labels) {
    entry.label.Subclass(::GetDlgItem(hwnd(), entry.id));
    entry.label.SetTextColor(entry.color);
    entry.label.SetFont(font);
  }

  // The Done button: its 30 x 30 cell stretched over the whole button, white text.
  SetUpButton(doneButton_, IDC_BTN_DONE, skin.GetButtonImageList(), true, font);
  doneButton_.SetNormalTextColor(kDoneText);
}

void CMainDlg::EnterProgressPage() {
  page_ = Progress;
  Show(uninstallingLabel_.hwnd(), true);
  Show(percentLabel_.hwnd(), true);
  Show(progress_.hwnd(), true);
  Show(finishedLabel_.hwnd(), false);
  Show(doneButton_.hwnd(), false);
  ::EnableWindow(closeButton_.hwnd(), FALSE);
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

// The default dialog painting erases through here; the labels are transparent, so this also
// repaints what lies under them.
LRESULT CMainDlg::OnEraseBackground(HDC dc) {
  kv_skin::CSkinResources& skin = kv_skin::CSkinResources::Instance();
  skin.DrawBackground(dc);
  if (page_ == Finished) {
    skin.DrawFinishedIcon(dc, kStateIconPos);
  } else {
    skin.DrawUninstallingIcon(dc, kStateIconPos);
  }
  return 1;
}

bool CMainDlg::OnNcHitTest(LPARAM lp, LRESULT& result) {
  POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  ::ScreenToClient(hwnd(), &pt);
  const HWND child = ::ChildWindowFromPoint(hwnd(), pt);
  if (child != nullptr && child != hwnd()) return false;  // the control gets the mouse
  result = HTCAPTION;                                     // the background drags the window
  return true;
}

bool CMainDlg::OnCommand(int id) {
  switch (id) {
    case IDOK:
      ::DestroyWindow(hwnd());
      ::PostQuitMessage(kQuitDefaultCommand);
      return true;
    case IDC_BTN_CLOSE:
      ::DestroyWindow(hwnd());
      ::PostQuitMessage(kQuitCloseButton);
      UninstallContext::Instance().WriteSelfDeleteScript();
      return true;
    case IDC_BTN_DONE:
      ::DestroyWindow(hwnd());
      ::PostQuitMessage(kQuitDone);
      UninstallContext::Instance().WriteSelfDeleteScript();
      return true;
    default:
      return false;  // IDCANCEL (Esc, Alt+F4) is ignored: the window stays open
  }
}

void CMainDlg::OnPercentChanged(int32_t percent) {
  progress_.SetPos(percent);
  ::SetWindowTextW(percentLabel_.hwnd(), uninstall::PercentText(percent).c_str());
  RedrawNow(percentLabel_.hwnd());
  // Repaint the background under the transparent label before the new text shows.
  RECT label = {};
  ::GetWindowRect(percentLabel_.hwnd(), &label);
  ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&label), 2);
  ::InvalidateRect(hwnd(), &label, TRUE);
  ::UpdateWindow(hwnd());
}

void CMainDlg::OnUninstallFinished() {
  page_ = Finished;
  Show(uninstallingLabel_.hwnd(), false);
  Show(percentLabel_.hwnd(), false);
  Show(progress_.hwnd(), false);
  ::InvalidateRect(hwnd(), nullptr, TRUE);  // the state icon changes
  Show(finishedLabel_.hwnd(), true);
  Show(doneButton_.hwnd(), true);
  ::EnableWindow(closeButton_.hwnd(), TRUE);
}
