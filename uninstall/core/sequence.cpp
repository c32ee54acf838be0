#include "core/sequence.h"

namespace uninstall {

void RunUninstallSequence(IUninstallCallBack* callback, IUninstallSteps& steps,
                          const std::function<void()>& pause) {
  if (callback == nullptr) return;
  for (int32_t percent = 2; percent <= 100; percent += 2) {
    callback->OnProgress(percent);
    switch (percent) {
      case 10:
        steps.CloseRunningProcesses();
        callback->OnProcessesClosed();
        break;
      case 30:
        steps.RemoveShortcuts();
        callback->OnShortcutsRemoved();
        break;
      case 50:
        steps.RemoveRegistryEntries();
        callback->OnRegistryCleaned();
        break;
      case 80:
        steps.RemoveAppDataFolder();
        steps.RemoveInstallFolder();
        callback->OnFilesRemoved();
        break;
      case 90:
        steps.RemoveUpdateTask();
        break;
      case 100:
        callback->OnFinished();
        break;
      default:
        break;
    }
    if (pause) pause();
  }
}

}  // namespace uninstall
