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

void UninstallContext::RemoveAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, TRUE) || folder[0] == 0) return;
  if (!::PathAppendW(folder, kDataFolderName)) return;
  // The user's own setting decides where this is: it gets the same scrutiny as the recorded
  // installation folder, and is deleted by its final path so that names the Win32 layer reads
  // differently (CON, a trailing dot) are deleted exactly.
  const std::wstring data = uninstall::DataFolderToRemove(folder);
  if (data.empty()) return;
  uninstall::RemovalScope scope;
  scope.expectedFinalPath = data;
  scope.keep = uninstall::FinalPathOf(uninstall::ModulePath());
  uninstall::RemoveFolder(data, scope);
}

void UninstallContext::RemoveInstallFolder() {
  const std::wstring& folder = ApprovedInstallFolder();
  if (folder.empty()) return;
  uninstall::RemovalScope scope;
  scope.expectedFinalPath = folder;
  // The running uninstaller is the script's: neither deleted now nor registered for the restart.
  const std::wstring module = uninstall::ModulePath();
  scope.keep = uninstall::FinalPathOf(module);
  // Everything goes only in a folder that the installer named; anywhere else (a folder shared
  // with a person's files) only the product's own files go, by name.
  const bool whole = uninstall::NamesEqualIgnoreCase(uninstall::LastName(folder),
                                                     uninstall::ProductFolderName(edition_));
  if (!whole) {
    scope.onlyNames = uninstall::ProgramFileNames(edition_);
    const std::wstring installed = uninstall::InstalledPathOfCopy(module);
    if (!installed.empty() &&
        uninstall::SameFolderPath(uninstall::FinalPathOf(uninstall::FolderOf(module)), folder,
                                  uninstall::NamesEqualIgnoreCase)) {
      scope.onlyNames.push_back(installed.substr(installed.rfind(L'\\') + 1));
    }
  }
  const uninstall::FolderRemoval result = uninstall::RemoveFolder(folder, scope);
  // The folder waits for the restart only behind what is registered in it, which is still there;
  // and only while its path is still that folder, not a link put in its place.
  if (result.removed || !whole || !result.registered) return;
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
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
  const std::wstring runFolder = uninstall::MakeScriptFolder();
  if (runFolder.empty()) return;
  targets.script = runFolder + L"\\" + uninstall::kScriptFileName;
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
