// The uninstaller's per-process state and its removal steps. Windows only.
#pragma once

#include <string>

#include "edition.h"
#include "sequence.h"

// One instance per process (Instance()), never destroyed; the main thread fills it with
// LoadInstallLocation before the worker starts, after which the worker only reads it.
class UninstallContext : public uninstall::IUninstallSteps {
 public:
  // The process-wide instance, created on first use (safe against concurrent first use).
  static UninstallContext& Instance();

  // Sets the edition to Student and reads "InstallLocation" from its uninstall key in this
  // process's registry view; installDir becomes empty when the value is missing or empty.
  void LoadInstallLocation();

  void CloseRunningProcesses() override;
  void RemoveShortcuts() override;
  void RemoveRegistryEntries() override;
  void RemoveAppDataFolder() override;
  // Deletes installDir, by its final path, only when it is an existing folder that the path guard
  // accepts and that shows it is the product's (InstallFolderToRemove); otherwise nothing is
  // deleted or registered for restart.
  void RemoveInstallFolder() override;
  void RemoveUpdateTask() override;

  // Writes the hidden self-deleting script into the temporary folder and starts it. The script
  // removes the uninstaller's folder only when that folder is the installation folder that
  // RemoveInstallFolder would remove and holds no link; it names no path that the command
  // processor would read differently.
  void WriteSelfDeleteScript();

  Edition edition() const { return edition_; }
  const std::wstring& installDir() const { return installDir_; }
  // Test hook: sets the state LoadInstallLocation would read from the registry.
  void SetForTest(Edition edition, std::wstring installDir);

 private:
  UninstallContext() = default;

  Edition edition_ = Student;
  std::wstring installDir_;
};

// The worker thread's entry (a _beginthreadex routine); `callback` is the IUninstallCallBack*.
// Runs the whole sequence in a single-threaded COM apartment and returns 0.
unsigned __stdcall UninstallThreadProc(void* callback);
