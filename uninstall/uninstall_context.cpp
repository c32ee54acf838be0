#include "uninstall_context.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "removal_win.h"
#include "rules.h"
#include "self_delete_script.h"
#include "unique_handle.h"

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

void UninstallContext::SetForTest(Edition edition, std::wstring installDir) {
  edition_ = edition;
  installDir_ = std::move(installDir);
  approvedFolder_.reset();
}

void UninstallContext::LoadInstallLocation() {
  edition_ = Student;
  const std::wstring key = uninstall::UninstallKeyPath(edition_, uninstall::IsWow64());
  // RegGetValueW ends the text even when the stored value has no terminator; a value that does not
  // fit is not read at all rather than cut to another folder's name. The data size is 519 bytes,
  // one short of the buffer: 258 characters and the terminator fit, a 259-character location
  // reads as empty.
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof(value) - 1;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallLocation", RRF_RT_REG_SZ, nullptr,
                     value, &size) == ERROR_SUCCESS &&
      value[0] != 0) {
    installDir_ = value;
  } else {
    installDir_.clear();
  }
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
  uninstall::DeleteRegistryTree(HKEY_LOCAL_MACHINE, uninstall::UninstallKeyPath(edition_, wow64));
  const wchar_t* command = uninstall::UrlProtocolCommandKey(edition_, wow64);
  const std::wstring& folder = ApprovedInstallFolder();
  if (command == nullptr || folder.empty()) return;
  // The protocol is ours only while its command starts our program; another viewer keeps it.
  const std::wstring program =
      uninstall::FinalPathOf(folder + L"\\" + uninstall::NamesOf(edition_).mainProcessFile);
  if (program.empty()) return;
  uninstall::DeleteRegistryTree(HKEY_CLASSES_ROOT, command, [&program](HKEY key) {
    return uninstall::NamesEqualIgnoreCase(uninstall::CommandProgramOf(key), program);
  });
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
    ::MoveFileExW(ParkingFor(folder).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

void UninstallContext::RemoveAppDataFolder() {
  // Not created when missing: the user's own setting says where it would be.
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE) || folder[0] == 0) return;
  if (!::PathAppendW(folder, kDataFolderName)) return;
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
  OSVERSIONINFOW version = {};
  uninstall::GetOsVersion(&version);
  if (uninstall::UseLegacyTaskScheduler({version.dwMajorVersion, version.dwMinorVersion, true})) {
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
  {
    uninstall::UniqueFileHandle file(::CreateFileW(
        module.c_str(), DELETE | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (file && ::GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks == 1 &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        uninstall::MoveOpenFile(file.get(), moved)) {
      targets.uninstaller = uninstall::PlainDrivePath(moved);
    }
  }
  const std::string converted =
      uninstall::ToAnsi(uninstall::BuildSelfDeleteScript(targets, uninstall::IsNameableInScript));
  if (!converted.empty() && uninstall::WriteNewFile(targets.script, converted) &&
      uninstall::RunScript(targets.script, runFolder)) {
    return;
  }
  ::DeleteFileW(targets.script.c_str());
  ::RemoveDirectoryW(runFolder.c_str());
}

unsigned __stdcall UninstallThreadProc(void* callback) {
  auto* cb = static_cast<IUninstallCallBack*>(callback);
  if (cb == nullptr) return 0;
  const HRESULT com = ::CoInitialize(nullptr);
  uninstall::RunUninstallSequence(cb, UninstallContext::Instance(), [] { ::Sleep(50); });
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}
