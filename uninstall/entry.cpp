// Program entry: single instance, the installer's mutex, confirmation, the relaunch from a copy
// beside the installed file, then the main dialog and its message loop.
#include <cstdint>
#include <optional>
#include <string>

#include "core/copy_name.h"
#include "os_win/processes.h"
#include "os_win/unique_com.h"
#include "os_win/unique_handle.h"
#include "ui/main_dlg.h"
#include "ui/skin/wnd_shadow.h"
#include "ui/window/message_box.h"
#include "ui/window/message_loop.h"

namespace {

constexpr wchar_t kUninstallerMutex[] = L"Global\\KovraSetup_Unistall";
constexpr wchar_t kSetupMutex[] = L"Global\\KovraSetup";
constexpr wchar_t kCaption[] = L"Kovra";
constexpr wchar_t kBusyText[] = L"正在运行安装或卸载实例请稍后卸载,";
constexpr wchar_t kConfirmText[] = L"您确认卸载KovraPravik？";

// How long the relaunched copy waits for the first process to let go of the uninstaller mutex.
constexpr uint32_t kHandOverWaitMs = 5000;
constexpr uint32_t kHandOverPollMs = 50;

// The copy may start while the first process is still ending; it waits a bounded time for the
// hand-over instead of ending silently. Any other second instance ends at once.
uninstall::UniqueHandle AcquireUninstallerMutex(bool isCopy) {
  const uint32_t start = uninstall::TickCount();
  for (;;) {
    uninstall::UniqueHandle mutex = uninstall::CreateFreshMutex(kUninstallerMutex);
    if (mutex || !isCopy || uninstall::TickCount() - start >= kHandOverWaitMs) return mutex;
    uninstall::Pause(kHandOverPollMs);
  }
}

// Everything after the process set-up; returns the exit code. `uninstallerMutex` is released
// before the copy starts so the copy can take it over.
int RunUninstaller(int showCommand, uninstall::UniqueHandle& uninstallerMutex) {
  CMessageLoop loop;
  g_module.AddMessageLoop(&loop);
  struct Unregister {
    ~Unregister() { g_module.RemoveMessageLoop(); }
  } unregister;

  uninstall::UniqueHandle setupMutex = uninstall::CreateFreshMutex(kSetupMutex);
  if (!setupMutex) {
    ShowNotice(kBusyText, kCaption);
    return 0;
  }
  const std::wstring module = uninstall::ModulePath();
  if (!uninstall::IsCopyPath(module)) {
    if (!AskOkCancel(kConfirmText, kCaption)) return 0;
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
  return RunMainDialog(showCommand);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  const bool isCopy = uninstall::IsCopyPath(uninstall::ModulePath());
  uninstall::UniqueHandle uninstallerMutex = AcquireUninstallerMutex(isCopy);
  if (!uninstallerMutex) return 0;

  const uninstall::ComApartment com;
  g_module.Init(instance);
  // Before any window: without UpdateLayeredWindow the dialog simply has no shadow.
  kv_skin::CWndShadow::InitializeShadowSupport(instance);

  const int exitCode = RunUninstaller(showCommand, uninstallerMutex);

  g_module.Term();
  return exitCode;
}
