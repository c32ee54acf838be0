// Program entry: single instance, the installer's mutex, confirmation, the relaunch from a copy
// beside the installed file, then the main dialog and its message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <optional>
#include <string>

#include "removal_win.h"
#include "rules.h"
#include "ui/main_dlg.h"
#include "ui/message_loop.h"
#include "ui/wnd_shadow.h"
#include "unique_handle.h"

namespace {

constexpr wchar_t kUninstallerMutex[] = L"Global\\KovraSetup_Unistall";
constexpr wchar_t kSetupMutex[] = L"Global\\KovraSetup";
constexpr wchar_t kCaption[] = L"Kovra";
constexpr wchar_t kBusyText[] = L"正在运行安装或卸载实例请稍后卸载,";
constexpr wchar_t kConfirmText[] = L"您确认卸载KovraPravik？";

// How long the relaunched copy waits for the first process to let go of the uninstaller mutex.
constexpr DWORD kHandOverWaitMs = 5000;
constexpr DWORD kHandOverPollMs = 50;

// Creates the named mutex; empty (and the handle closed) when it already existed.
uninstall::UniqueHandle CreateFreshMutex(const wchar_t* name) {
  uninstall::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
  if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) mutex.reset();
  return mutex;
}

// The copy may start while the first process is still ending; it waits a bounded time for the
// hand-over instead of ending silently. Any other second instance ends at once.
uninstall::UniqueHandle AcquireUninstallerMutex(bool isCopy) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    uninstall::UniqueHandle mutex = CreateFreshMutex(kUninstallerMutex);
    if (mutex || !isCopy || ::GetTickCount() - start >= kHandOverWaitMs) return mutex;
    ::Sleep(kHandOverPollMs);
  }
}

int RunDialog(int showCommand) {
  // Never destroyed: the worker thread is never stopped and may still call the dialog's callbacks
  // after the window is gone, even while the process runs its exit code (which would destroy a
  // static object under the worker's feet).
  static CMainDlg* const dialog = new CMainDlg();
  if (dialog->Create(nullptr) == nullptr) return 0;
  ::ShowWindow(dialog->m_hWnd, showCommand);
  CMessageLoop* loop = g_module.GetMessageLoop();
  return loop != nullptr ? loop->Run() : 0;
}

// Everything after the process set-up; returns the exit code. `uninstallerMutex` is released
// before the copy starts so the copy can take it over.
int RunUninstaller(int showCommand, uninstall::UniqueHandle& uninstallerMutex) {
  CMessageLoop loop;
  g_module.AddMessageLoop(&loop);
  struct Unregister {
    ~Unregister() { g_module.RemoveMessageLoop(); }
  } unregister;

  uninstall::UniqueHandle setupMutex = CreateFreshMutex(kSetupMutex);
  if (!setupMutex) {
    ::MessageBoxW(nullptr, kBusyText, kCaption, MB_OK);
    return 0;
  }
  const std::wstring module = uninstall::ModulePath();
  if (!uninstall::IsCopyPath(module)) {
    if (::MessageBoxW(nullptr, kConfirmText, kCaption, MB_OKCANCEL) != IDOK) return 0;
    const auto copy = module.empty() ? std::nullopt : uninstall::CopyPathFor(module);
    // Held until the copy has started, so that what starts is what was written.
    if (uninstall::UniqueFileHandle held =
            copy ? uninstall::WriteCopyOfSelf(module, *copy) : uninstall::UniqueFileHandle()) {
      setupMutex.reset();
      uninstallerMutex.reset();
      uninstall::RunProgram(*copy);
      return 0;
    }
    // No copy (path too long, not writable, or the name taken by something not ours): the
    // uninstall runs in this file.
  }
  return RunDialog(showCommand);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const bool isCopy = uninstall::IsCopyPath(uninstall::ModulePath());
  uninstall::UniqueHandle uninstallerMutex = AcquireUninstallerMutex(isCopy);
  if (!uninstallerMutex) return 0;

  const HRESULT com = ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  g_module.Init(instance);
  // Before any window: without UpdateLayeredWindow the dialog simply has no shadow.
  kv_skin::CWndShadow::InitializeShadowSupport(instance);

  const int exitCode = RunUninstaller(showCommand, uninstallerMutex);

  g_module.Term();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return exitCode;
}
