// The uninstaller's per-process state and its removal steps, on the Windows seam (os_win/).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/edition.h"
#include "core/sequence.h"
#include "os_win/folder_removal.h"

class UninstallContextTesting;

// One instance per process (Instance()), never destroyed; the main thread fills it with
// LoadInstallLocation before the worker starts, after which the worker only reads it.
class UninstallContext : public uninstall::IUninstallSteps {
 public:
  // The process-wide instance, created on first use (safe against concurrent first use).
  static UninstallContext& Instance();

  // Sets the edition to Student and reads "InstallLocation" from its uninstall key in this
  // process's registry view; installDir becomes empty when the value is missing or empty.
  void LoadInstallLocation();

  // Ends the product's programs running from the folder that RemoveInstallFolder would remove.
  void CloseRunningProcesses() override;
  void RemoveShortcuts() override;
  // Deletes the uninstall key (a link only itself) and the URL-protocol command key, the latter
  // only while its command starts the product's program in the approved installation folder.
  void RemoveRegistryEntries() override;
  // Deletes the per-user data folder by its final path, unless the guard refuses it or it holds
  // an installation of any edition.
  void RemoveAppDataFolder() override;
  // Deletes installDir, by its final path, only when it is an existing folder that the path guard
  // accepts and that shows it is the product's (InstallFolderToRemove); otherwise nothing is
  // deleted or registered for restart. A folder not named as the installer names it loses only
  // the product's own files.
  void RemoveInstallFolder() override;
  void RemoveUpdateTask() override;

  // Writes the hidden self-deleting script into a new folder that only administrators can write
  // and starts it. The script deletes the uninstaller file, then removes the uninstaller's folder
  // if it is empty and is the installation folder that RemoveInstallFolder would remove; it names
  // no path that the command processor would read differently.
  void WriteSelfDeleteScript();

  Edition edition() const { return edition_; }
  const std::wstring& installDir() const { return installDir_; }

 private:
  friend class UninstallContextTesting;  // tests/uninstall_context_testing.h

  UninstallContext() = default;

  // The final path of installDir when the guard approves it (empty otherwise): decided once, on
  // first use, so that the process, registry and folder steps and the script act on one decision.
  const std::wstring& ApprovedInstallFolder();

  // The run's private folder on the volume of `path` (MakeScriptFolder), made on first use; empty
  // when none could be made.
  const std::wstring& ParkingFor(const std::wstring& path);

  // Removes an approved folder by its final path with `scope`, parking its locked files.
  void RemoveOwnFolder(const std::wstring& folder, uninstall::RemovalScope scope);

  Edition edition_ = Student;
  std::wstring installDir_;
  std::optional<std::wstring> approvedFolder_;
  std::vector<std::pair<std::wstring, std::wstring>> parking_;  // drive, private folder
};

// The worker thread's entry (a _beginthreadex routine); `callback` is the IUninstallCallBack*.
// Runs the whole sequence in a single-threaded COM apartment and returns 0.
unsigned __stdcall UninstallThreadProc(void* callback);
