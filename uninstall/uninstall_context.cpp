#include "uninstall_context.h"

#include <string>

#include "core/copy_name.h"
#include "core/os_version.h"
#include "core/path_guard.h"
#include "core/path_text.h"
#include "core/self_delete_script.h"
#include "os_win/files.h"
#include "os_win/guarded_folders.h"
#include "os_win/processes.h"
#include "os_win/registry.h"
#include "os_win/shell.h"
#include "os_win/task_scheduler.h"
#include "os_win/unique_com.h"
#include "os_win/version.h"

namespace {

constexpr wchar_t kUpdateTaskName[] = L"KovraUpdateTaskMachine";
constexpr wchar_t kDataFolderName[] = L"Kovra";

}  // namespace

UninstallContext& UninstallContext::Instance() {
  // Never destroyed: the worker may still be deleting while the process runs its exit code, and
  // must not read a destroyed context. C++11 guarantees one initialisation across threads.
  static UninstallContext* const context = new UninstallContext();
  return *context;
}

void UninstallContext::LoadInstallLocation() {
  edition_ = Student;
  installDir_ =
      uninstall::InstallLocation(uninstall::UninstallKeyPath(edition_, uninstall::IsWow64()));
  approvedFolder_.reset();
}

const std::wstring& UninstallContext::ApprovedInstallFolder() {
  if (!approvedFolder_) {
    approvedFolder_ =
        uninstall::InstallFolderToRemove(installDir_, uninstall::NamesOf(edition_).mainProcessFile);
  }
  return *approvedFolder_;
}

void UninstallContext::CloseRunningProcesses() {
  // Only the product's programs in the folder that the folder step would remove: a location the
  // guard refuses ends nobody's process.
  const std::wstring& folder = ApprovedInstallFolder();
  if (folder.empty()) return;
  for (const std::wstring& target : uninstall::ProcessTargets(edition_, folder)) {
    uninstall::TerminateProcessByPath(target);
  }
}

void UninstallContext::RemoveShortcuts() {
  const uninstall::EditionNames& names = uninstall::NamesOf(edition_);
  uninstall::RemoveShortcutSet(names.shortcutName, names.uninstallShortcutName);
}

void UninstallContext::RemoveRegistryEntries() {
  const bool wow64 = uninstall::IsWow64();
  uninstall::DeleteMachineKeyTree(uninstall::UninstallKeyPath(edition_, wow64));
  const wchar_t* command = uninstall::UrlProtocolCommandKey(edition_, wow64);
  const std::wstring& folder = ApprovedInstallFolder();
  if (command == nullptr || folder.empty()) return;
  // The protocol is ours only while its command starts our program; another viewer keeps it.
  const std::wstring program =
      uninstall::FinalPathOf(folder + L"\\" + uninstall::NamesOf(edition_).mainProcessFile);
  if (program.empty()) return;
  uninstall::DeleteClassesKeyStarting(command, program);
}

const std::wstring& UninstallContext::ParkingFor(const std::wstring& path) {
  const std::wstring drive = uninstall::PlainDrivePath(path).substr(0, 2);
  for (const auto& [volume, folder] : parking_) {
    if (uninstall::NamesEqualIgnoreCase(volume, drive)) return folder;
  }
  parking_.emplace_back(drive, uninstall::MakeScriptFolder(path));
  return parking_.back().second;
}

void UninstallContext::RemoveOwnFolder(const std::wstring& folder, uninstall::RemovalScope scope) {
  scope.expectedFinalPath = folder;
  // The running uninstaller is the script's: neither deleted now nor registered for the restart.
  scope.keep = uninstall::FinalPathOf(uninstall::ModulePath());
  scope.parking = [this, &folder] { return ParkingFor(folder); };
  if (uninstall::RemoveFolder(folder, scope).registered) {
    // The private folder goes after the files parked in it (registered in that order).
    uninstall::RemoveAtRestart(ParkingFor(folder));
  }
}

void UninstallContext::RemoveAppDataFolder() {
  const std::wstring folder = uninstall::UserDataFolder(kDataFolderName);
  if (folder.empty()) return;
  // The user's own setting decides where this is: it gets the same scrutiny as the recorded
  // installation folder, and is deleted by its final path so that names the Win32 layer reads
  // differently (CON, a trailing dot) are deleted exactly.
  const std::wstring data = uninstall::DataFolderToRemove(folder);
  if (!data.empty()) RemoveOwnFolder(data, {});
}

void UninstallContext::RemoveInstallFolder() {
  const std::wstring& folder = ApprovedInstallFolder();
  if (folder.empty()) return;
  uninstall::RemovalScope scope;
  // Everything goes only in a folder that the installer named; anywhere else (a folder shared
  // with a person's files) only the product's own files go, by name.
  const bool whole = uninstall::NamesEqualIgnoreCase(uninstall::LastName(folder),
                                                     uninstall::ProductFolderName(edition_));
  if (!whole) {
    const std::wstring module = uninstall::ModulePath();
    scope.onlyNames = uninstall::ProgramFileNames(edition_);
    const std::wstring installed = uninstall::InstalledPathOfCopy(module);
    if (!installed.empty() &&
        uninstall::SameFolderPath(uninstall::FinalPathOf(uninstall::FolderOf(module)), folder,
                                  uninstall::NamesEqualIgnoreCase)) {
      scope.onlyNames.push_back(installed.substr(installed.rfind(L'\\') + 1));
    }
  }
  RemoveOwnFolder(folder, std::move(scope));
}

void UninstallContext::RemoveUpdateTask() {
  if (uninstall::UseLegacyTaskScheduler(uninstall::SystemVersion())) {
    uninstall::DeleteLegacyScheduledTask(kUpdateTaskName);
  } else {
    uninstall::DeleteScheduledTask(kUpdateTaskName);
  }
}

void UninstallContext::WriteSelfDeleteScript() {
  const std::wstring module = uninstall::ModulePath();
  if (module.empty()) return;
  uninstall::ScriptTargets targets;
  targets.uninstaller = module;
  targets.ping = uninstall::SystemProgram(L"PING.EXE");
  // The folder line only for the uninstaller's own installation folder, by its final path; the
  // line removes the folder only if it is empty, so it may stand for a shared folder too.
  const std::wstring& folder = ApprovedInstallFolder();
  if (!folder.empty() &&
      uninstall::SameFolderPath(uninstall::FinalPathOf(uninstall::FolderOf(module)), folder,
                                uninstall::NamesEqualIgnoreCase)) {
    targets.folder = uninstall::PlainDrivePath(folder);
  }
  // Written and run where only administrators can write, never in the user's temporary folder,
  // where anyone the user runs could rewrite it or plant a program it would call.
  const std::wstring runFolder = ParkingFor(uninstall::FinalPathOf(module));
  if (runFolder.empty()) return;
  targets.script = runFolder + L"\\" + uninstall::kScriptFileName;
  // This program moves itself in there too (a running program can be renamed), so the script
  // deletes a name that nobody else can replace: left beside the installation, the name could
  // be swapped for a folder, whose files del would delete. Only a plain file of one name at the
  // new place is named; where the move fails (another volume, a scanner), the file stays.
  // Under a short fixed name: the command processor cannot name paths beyond 259 characters.
  const std::wstring moved = runFolder + L"\\uninstaller.exe";
  targets.uninstaller.clear();
  if (uninstall::MovePlainFile(module, moved))
    targets.uninstaller = uninstall::PlainDrivePath(moved);
  const std::string converted =
      uninstall::ToAnsi(uninstall::BuildSelfDeleteScript(targets, uninstall::IsNameableInScript));
  if (!converted.empty() && uninstall::WriteNewFile(targets.script, converted) &&
      uninstall::RunScript(targets.script, runFolder)) {
    return;
  }
  uninstall::DeleteFileAt(targets.script);
  uninstall::RemoveEmptyFolder(runFolder);
}

unsigned __stdcall UninstallThreadProc(void* callback) {
  auto* cb = static_cast<IUninstallCallBack*>(callback);
  if (cb == nullptr) return 0;
  const uninstall::ComApartment com;
  uninstall::RunUninstallSequence(cb, UninstallContext::Instance(), [] { uninstall::Pause(50); });
  return 0;
}
