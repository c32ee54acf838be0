// The uninstall sequence: a progress counter from 2 to 100 with the removal steps at fixed
// values, reported through IUninstallCallBack. Portable, so its order is tested natively.
#pragma once

#include <cstdint>
#include <functional>

// Progress interface between the worker and the window; every operation is called on the worker
// thread and must not block. Results are ignored by the worker.
class IUninstallCallBack {
 public:
  virtual int OnProcessesClosed() = 0;
  virtual int OnShortcutsRemoved() = 0;
  virtual int OnRegistryCleaned() = 0;
  virtual int OnFilesRemoved() = 0;
  virtual int OnProgress(int32_t percent) = 0;
  virtual int OnFinished() = 0;

 protected:
  ~IUninstallCallBack() = default;  // never deleted through this interface
};

namespace uninstall {

// The removal steps in the order the sequence may call them; UninstallContext implements them.
class IUninstallSteps {
 public:
  virtual void CloseRunningProcesses() = 0;
  virtual void RemoveShortcuts() = 0;
  virtual void RemoveRegistryEntries() = 0;
  virtual void RemoveAppDataFolder() = 0;
  virtual void RemoveInstallFolder() = 0;
  virtual void RemoveUpdateTask() = 0;

 protected:
  ~IUninstallSteps() = default;
};

// Runs the 50 passes: OnProgress, the work of that value, then `pause` (50 ms in the program).
// A null callback returns at once without any step.
void RunUninstallSequence(IUninstallCallBack* callback, IUninstallSteps& steps,
                          const std::function<void()>& pause);

}  // namespace uninstall
