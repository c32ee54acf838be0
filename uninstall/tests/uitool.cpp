// UI automation and fixture tool for the uninstaller's end-to-end tests (console program).
//
//   kv_uitool confirm-ok | confirm-cancel | busy-ok
//       waits for the uninstaller's message box, checks its exact text, presses OK or Cancel.
//   kv_uitool finish done|close|idok
//       waits for the main dialog, checks the progress page, that Esc and Alt+F4 leave it open,
//       then (done/close) waits for the finished page and presses the button, or (idok) sends
//       the default command at once; prints "exit code N" of the dialog's process.
//   kv_uitool rect                   prints the dialog's window rectangle: "x y width height"
//   kv_uitool short-path PATH        prints the short (8.3) form of PATH
//   kv_uitool pause PERCENT          waits until the dialog shows PERCENT or more, suspends every
//                                    other thread of its process (the worker), lets the window
//                                    catch up and prints "percent N" as it then shows
//   kv_uitool resume                 resumes the threads that pause suspended
//   kv_uitool shadow                 checks the dialog's shadow window: class, styles, owner,
//                                    size and place, following a move, minimise and restore
//   kv_uitool shadow-off | shadow-on hides or shows the shadow window (for screenshots)
//   kv_uitool wait-finished          waits for the finished page
//   kv_uitool hover                  moves the pointer onto the Done button
//   kv_uitool click done|close       presses a button of the finished page; prints "exit code N"
//   kv_uitool no-window SECONDS      fails if a message box or the dialog appears in time
//   kv_uitool running PATH           exit 0 when a process has a module loaded from PATH
//   kv_uitool hold-file PATH SECONDS [shared]
//                                    opens PATH without sharing (shared: as a running program
//                                    does, rename and delete allowed) and keeps it open
//   kv_uitool hold-mutex NAME SECONDS
//   kv_uitool task-create NAME | task-exists NAME
//   kv_uitool reg-link KEY TARGET    makes HKLM\KEY a registry link to HKLM\TARGET
#include <windows.h>

#include <oleauto.h>
#include <psapi.h>
#include <taskschd.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "os_win/unique_com.h"
#include "os_win/unique_handle.h"

namespace {

using uninstall::ComApartment;
using uninstall::UniqueBstr;
using uninstall::UniqueCom;
using uninstall::UniqueFileHandle;
using uninstall::UniqueHandle;
using uninstall::UniqueVariant;

constexpr wchar_t kCaption[] = L"Kovra";
constexpr wchar_t kConfirmText[] = L"您确认卸载KovraPravik？";
constexpr wchar_t kBusyText[] = L"正在运行安装或卸载实例请稍后卸载,";
constexpr wchar_t kDialogTitle[] = L"KovraPravik - 卸载程序";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kShadowClass[] = L"TamskShadowWnd";
constexpr int kShadowSize = 5;

constexpr CLSID kClsidTaskScheduler = {
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
constexpr IID kIidTaskService = {
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};

int Fail(const char* what) {
  std::printf("FAIL: %s\n", what);
  std::fflush(stdout);
  return 1;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[512] = {};
  ::GetWindowTextW(hwnd, buf, 512);
  return buf;
}

// Waits up to `ms` for a visible top-level dialog-class window with `title` (visible: its
// initialisation has ended).
HWND WaitForWindow(const wchar_t* title, DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    HWND hwnd = ::FindWindowW(kDialogClass, title);
    if (hwnd != nullptr && ::IsWindowVisible(hwnd)) return hwnd;
    ::Sleep(50);
  } while (::GetTickCount() - start < ms);
  return nullptr;
}

// True when some static of the message box shows exactly `text`.
bool BoxShows(HWND box, const wchar_t* text) {
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child) == text) return true;
  }
  return false;
}

// A click that destroys its own button (the dialog's finish commands) counts as done: some Wine
// builds then report the sent message as failed.
bool Click(HWND button) {
  DWORD_PTR ignored = 0;
  // No SMTO_ABORTIFHUNG: on a loaded machine Wine takes a busy dialog for a hung one and the click
  // would never be sent. The handler may take a while (it starts the script), hence the wait.
  return ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 30000, &ignored) != 0 ||
         !::IsWindow(button);
}

int AnswerBox(const wchar_t* text, int button) {
  HWND box = WaitForWindow(kCaption, 30000);
  if (box == nullptr) return Fail("no message box");
  if (!BoxShows(box, text)) return Fail("message box text differs");
  HWND target = ::GetDlgItem(box, button);
  if (target == nullptr) return Fail("message box lacks the button");
  if (!Click(target)) return Fail("button click failed");
  std::printf("answered\n");
  return 0;
}

bool Visible(HWND dlg, int id) { return ::IsWindowVisible(::GetDlgItem(dlg, id)) != FALSE; }

// Esc and Alt+F4 (close request) must not close the dialog.
bool SurvivesCloseRequests(HWND dlg) {
  ::PostMessageW(dlg, WM_KEYDOWN, VK_ESCAPE, 0);
  ::PostMessageW(dlg, WM_KEYUP, VK_ESCAPE, 0);
  ::PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  ::Sleep(400);
  return ::IsWindow(dlg) != FALSE;
}

// The dialog's exit code once `process` ends; prints it. Fails after 20 s.
int ReportExit(HANDLE process) {
  if (::WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) return Fail("process did not end");
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  std::printf("exit code %lu\n", static_cast<unsigned long>(code));
  return 0;
}

int Finish(const std::wstring& how) {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return Fail("no main dialog");
  DWORD pid = 0;
  ::GetWindowThreadProcessId(dlg, &pid);
  UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process) return Fail("cannot open the dialog's process");
  if (how == L"idok") {
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  } else {
    if (::IsWindowEnabled(::GetDlgItem(dlg, 1004))) return Fail("close button enabled early");
    const LONG_PTR style = ::GetWindowLongPtrW(dlg, GWL_STYLE);
    if ((style & WS_CAPTION) != 0 || (style & WS_MINIMIZEBOX) == 0) {
      return Fail("caption not removed or minimise box missing");
    }
    if (TextOf(::GetDlgItem(dlg, 1002)).rfind(L"%", 0) != 0) return Fail("percentage text");
    // Drag to move: the background answers HTCAPTION, a control does not.
    POINT background = {5, 100};
    ::ClientToScreen(dlg, &background);
    RECT label = {};
    ::GetWindowRect(::GetDlgItem(dlg, 1000), &label);
    DWORD_PTR hit = 0;
    ::SendMessageTimeoutW(dlg, WM_NCHITTEST, 0, MAKELPARAM(background.x, background.y),
                          SMTO_ABORTIFHUNG, 5000, &hit);
    if (hit != HTCAPTION) return Fail("background does not drag the window");
    ::SendMessageTimeoutW(dlg, WM_NCHITTEST, 0, MAKELPARAM(label.left + 2, label.top + 2),
                          SMTO_ABORTIFHUNG, 5000, &hit);
    if (hit == HTCAPTION) return Fail("a control drags the window");
    if (!SurvivesCloseRequests(dlg)) return Fail("progress page closed by Esc/Alt+F4");
    const DWORD start = ::GetTickCount();
    while (!Visible(dlg, 1003)) {
      if (::GetTickCount() - start > 60000) return Fail("finished page never shown");
      ::Sleep(50);
    }
    ::Sleep(200);
    if (Visible(dlg, 1000) || Visible(dlg, 1002) || !Visible(dlg, 1001)) {
      return Fail("finished page shows the wrong controls");
    }
    if (TextOf(::GetDlgItem(dlg, 1002)) != L"%100") return Fail("last percentage is not %100");
    if (TextOf(::GetDlgItem(dlg, 1001)) != L"卸载完成") return Fail("finished text differs");
    if (TextOf(::GetDlgItem(dlg, 1003)) != L"完成") return Fail("Done button text differs");
    if (!::IsWindowEnabled(::GetDlgItem(dlg, 1004))) return Fail("close button still disabled");
    if (!SurvivesCloseRequests(dlg)) return Fail("finished page closed by Esc/Alt+F4");
    if (!Click(::GetDlgItem(dlg, how == L"close" ? 1004 : 1003))) return Fail("click failed");
  }
  return ReportExit(process.get());
}

RECT WindowRect(HWND hwnd) {
  RECT rect = {};
  ::GetWindowRect(hwnd, &rect);
  return rect;
}

int PrintRect() {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return Fail("no main dialog");
  const RECT r = WindowRect(dlg);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return 0;
}

// The percentage the dialog shows ("%N"), or -1.
int ShownPercent(HWND dlg) {
  const std::wstring text = TextOf(::GetDlgItem(dlg, 1002));
  return text.size() > 1 && text[0] == L'%' ? _wtoi(text.c_str() + 1) : -1;
}

// Suspends (or resumes) every thread of the dialog's process except the window's own.
int SuspendWorker(bool suspend) {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return Fail("no main dialog");
  DWORD pid = 0;
  const DWORD uiThread = ::GetWindowThreadProcessId(dlg, &pid);
  UniqueFileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snap) return Fail("no thread list");
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = ::Thread32First(snap.get(), &entry); more;
       more = ::Thread32Next(snap.get(), &entry)) {
    if (entry.th32OwnerProcessID != pid || entry.th32ThreadID == uiThread) continue;
    UniqueHandle thread(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
    if (!thread) continue;
    if ((suspend ? ::SuspendThread(thread.get()) : ::ResumeThread(thread.get())) != DWORD(-1)) {
      ++count;
    }
  }
  return count > 0 ? 0 : Fail("no other thread in the dialog's process");
}

int Pause(int percent) {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return Fail("no main dialog");
  const DWORD start = ::GetTickCount();
  while (ShownPercent(dlg) < percent) {
    if (::GetTickCount() - start > 30000) return Fail("percentage never reached");
    ::Sleep(20);
  }
  if (SuspendWorker(true) != 0) return 1;
  // Progress messages posted before the suspension are still handled and painted.
  int shown = -1;
  for (int stable = 0; stable < 3;) {
    ::Sleep(200);
    const int now = ShownPercent(dlg);
    stable = now == shown ? stable + 1 : 0;
    shown = now;
  }
  std::printf("percent %d\n", shown);
  return 0;
}

// Finds the shadow window owned by `dlg`; null if there is none.
HWND FindShadow(HWND dlg) {
  for (HWND w = ::FindWindowExW(nullptr, nullptr, kShadowClass, nullptr); w != nullptr;
       w = ::FindWindowExW(nullptr, w, kShadowClass, nullptr)) {
    if (::GetWindow(w, GW_OWNER) == dlg) return w;
  }
  return nullptr;
}

// True when the shadow lies 5 pixels out on every side of the dialog.
bool ShadowAround(HWND shadow, HWND dlg) {
  const RECT s = WindowRect(shadow);
  const RECT d = WindowRect(dlg);
  return s.left == d.left - kShadowSize && s.top == d.top - kShadowSize &&
         s.right - s.left == d.right - d.left + 2 * kShadowSize &&
         s.bottom - s.top == d.bottom - d.top + 2 * kShadowSize;
}

// Waits up to 10 s for `condition`: another process's screenshot step may have hidden the shadow
// and shown it again moments ago, and a loaded Wine can take seconds to carry that out.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 200 && !condition(); ++i) ::Sleep(50);
  return condition();
}

int CheckShadow() {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return Fail("no main dialog");
  HWND shadow = nullptr;
  if (!Eventually([&] { return (shadow = FindShadow(dlg)) != nullptr; })) {
    return Fail("no shadow window owned by the dialog");
  }
  const LONG_PTR ex = ::GetWindowLongPtrW(shadow, GWL_EXSTYLE);
  if ((ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT)) != (WS_EX_LAYERED | WS_EX_TRANSPARENT)) {
    return Fail("shadow is not layered and transparent");
  }
  if (!Eventually([&] { return ::IsWindowVisible(shadow) != FALSE; })) {
    return Fail("shadow hidden");
  }
  const RECT d = WindowRect(dlg);
  if (d.right - d.left != 640 || d.bottom - d.top != 390) return Fail("dialog is not 640 x 390");
  if (!Eventually([&] { return ShadowAround(shadow, dlg); })) {
    return Fail("shadow is not 650 x 400 at 5 px up and left");
  }
  ::SetWindowPos(dlg, nullptr, d.left + 37, d.top + 23, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!Eventually(
          [&] { return WindowRect(dlg).left == d.left + 37 && ShadowAround(shadow, dlg); })) {
    return Fail("shadow does not follow a move");
  }
  ::ShowWindow(dlg, SW_MINIMIZE);
  if (!Eventually([&] { return !::IsWindowVisible(shadow); })) {
    return Fail("shadow shown while the dialog is minimised");
  }
  ::ShowWindow(dlg, SW_RESTORE);
  if (!Eventually([&] { return ::IsWindowVisible(shadow) && ShadowAround(shadow, dlg); })) {
    return Fail("shadow not back around the restored dialog");
  }
  ::SetWindowPos(dlg, nullptr, d.left, d.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!Eventually([&] { return WindowRect(dlg).left == d.left && ShadowAround(shadow, dlg); })) {
    return Fail("shadow does not follow the move back");
  }
  std::printf("shadow ok\n");
  return 0;
}

int ShowShadow(bool visible) {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  HWND shadow = dlg != nullptr ? FindShadow(dlg) : nullptr;
  if (shadow == nullptr) return Fail("no shadow window");
  ::ShowWindow(shadow, visible ? SW_SHOWNA : SW_HIDE);
  return 0;
}

HWND WaitFinished() {
  HWND dlg = WaitForWindow(kDialogTitle, 30000);
  if (dlg == nullptr) return nullptr;
  const DWORD start = ::GetTickCount();
  while (!Visible(dlg, 1003)) {
    if (::GetTickCount() - start > 60000) return nullptr;
    ::Sleep(50);
  }
  ::Sleep(500);  // the page switch and its repaint
  return dlg;
}

int Hover() {
  HWND dlg = WaitFinished();
  if (dlg == nullptr) return Fail("finished page never shown");
  const RECT r = WindowRect(::GetDlgItem(dlg, 1003));
  if (!::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2)) return Fail("pointer");
  return 0;
}

int ClickFinished(const std::wstring& which) {
  HWND dlg = WaitFinished();
  if (dlg == nullptr) return Fail("finished page never shown");
  DWORD pid = 0;
  ::GetWindowThreadProcessId(dlg, &pid);
  UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process) return Fail("cannot open the dialog's process");
  if (!Click(::GetDlgItem(dlg, which == L"close" ? 1004 : 1003))) return Fail("click failed");
  return ReportExit(process.get());
}

int NoWindow(DWORD seconds) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < seconds * 1000) {
    if (::FindWindowW(kDialogClass, kCaption) || ::FindWindowW(kDialogClass, kDialogTitle)) {
      return Fail("a window appeared");
    }
    ::Sleep(50);
  }
  return 0;
}

bool Running(const std::wstring& path) {
  UniqueFileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return false;
  bool found = false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snap.get(), &entry); more && !found;
       more = ::Process32NextW(snap.get(), &entry)) {
    UniqueHandle p(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
    if (!p) continue;
    wchar_t name[MAX_PATH] = {};
    found = ::GetModuleFileNameExW(p.get(), nullptr, name, MAX_PATH) > 0 &&
            _wcsicmp(name, path.c_str()) == 0;
  }
  return found;
}

// Task Scheduler 2.0 root folder through `service`, connected; empty on failure.
UniqueCom<ITaskFolder> RootFolder(UniqueCom<ITaskService>& service) {
  UniqueCom<ITaskFolder> folder;
  if (FAILED(::CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskService,
                                service.put_void()))) {
    return folder;
  }
  const UniqueVariant empty;
  if (FAILED(service->Connect(empty.get(), empty.get(), empty.get(), empty.get()))) return folder;
  const UniqueBstr root(L"\\");
  service->GetFolder(root.get(), folder.put());
  return folder;
}

int Task(bool create, const wchar_t* name) {
  const ComApartment com;
  UniqueCom<ITaskService> service;
  const UniqueCom<ITaskFolder> folder = RootFolder(service);
  bool ok = false;
  if (folder) {
    const UniqueBstr task(name);
    UniqueCom<IRegisteredTask> registered;
    if (create) {
      const UniqueBstr xml(
          L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
          L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
          L"<Triggers><TimeTrigger><StartBoundary>2030-01-01T00:00:00</StartBoundary>"
          L"</TimeTrigger></Triggers>"
          L"<Actions><Exec><Command>C:\\windows\\notepad.exe</Command></Exec></Actions></Task>");
      const UniqueVariant empty;
      ok = SUCCEEDED(folder->RegisterTask(task.get(), xml.get(), TASK_CREATE_OR_UPDATE, empty.get(),
                                          empty.get(), TASK_LOGON_NONE, empty.get(),
                                          registered.put()));
    } else {
      ok = SUCCEEDED(folder->GetTask(task.get(), registered.put()));
    }
  }
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("usage");
  const std::wstring command = argv[1];
  if (command == L"confirm-ok") return AnswerBox(kConfirmText, IDOK);
  if (command == L"confirm-cancel") return AnswerBox(kConfirmText, IDCANCEL);
  if (command == L"busy-ok") return AnswerBox(kBusyText, IDOK);
  if (command == L"finish" && argc > 2) return Finish(argv[2]);
  if (command == L"rect") return PrintRect();
  if (command == L"pause" && argc > 2) return Pause(_wtoi(argv[2]));
  if (command == L"resume") return SuspendWorker(false);
  if (command == L"shadow") return CheckShadow();
  if (command == L"shadow-off") return ShowShadow(false);
  if (command == L"shadow-on") return ShowShadow(true);
  if (command == L"wait-finished") return WaitFinished() != nullptr ? 0 : Fail("not finished");
  if (command == L"hover") return Hover();
  if (command == L"click" && argc > 2) return ClickFinished(argv[2]);
  if (command == L"no-window" && argc > 2) return NoWindow(DWORD(_wtoi(argv[2])));
  if (command == L"running" && argc > 2) return Running(argv[2]) ? 0 : 1;
  if (command == L"hold-file" && argc > 3) {
    // "shared": held as a running program holds its file (others may rename or delete it).
    const DWORD share = argc > 4 ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    UniqueFileHandle f(
        ::CreateFileW(argv[2], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f) return Fail("cannot open file");
    ::Sleep(DWORD(_wtoi(argv[3])) * 1000);
    return 0;
  }
  if (command == L"hold-mutex" && argc > 3) {
    UniqueHandle m(::CreateMutexW(nullptr, FALSE, argv[2]));
    ::Sleep(DWORD(_wtoi(argv[3])) * 1000);
    return 0;
  }
  if (command == L"task-create" && argc > 2) return Task(true, argv[2]);
  if (command == L"task-exists" && argc > 2) return Task(false, argv[2]);
  if (command == L"reg-link" && argc > 3) {
    HKEY raw = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, REG_OPTION_CREATE_LINK,
                          KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &raw,
                          nullptr) != ERROR_SUCCESS) {
      return Fail("cannot create the link key");
    }
    uninstall::UniqueHKey link(raw);
    const std::wstring target = std::wstring(L"\\Registry\\Machine\\") + argv[3];
    return ::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target.c_str()),
                            DWORD(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS
               ? 0
               : Fail("cannot set the link");
  }
  if (command == L"short-path" && argc > 2) {
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = ::GetShortPathNameW(argv[2], shortPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return Fail("no short path");
    std::wprintf(L"%ls\n", shortPath);
    return 0;
  }
  return Fail("unknown command");
}
