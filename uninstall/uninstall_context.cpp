#include "uninstall_context.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
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
}

void UninstallContext::CloseRunningProcesses() {
  for (const std::wstring& target : uninstall::ProcessTargets(edition_, installDir_)) {
    uninstall::TerminateProcessByPath(target);
  }
}

void UninstallContext::RemoveShortcuts() {
  const uninstall::EditionNames& names = uninstall::NamesOf(edition_);
  uninstall::RemoveShortcutSet(names.shortcutName, names.uninstallShortcutName);
}

void UninstallContext::RemoveRegistryEntries() {
  const bool wow64 = uninstall::IsWow64();
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, uninstall::UninstallKeyPath(edition_, wow64).c_str());
  if (const wchar_t* command = uninstall::UrlProtocolCommandKey(edition_, wow64)) {
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, command);
  }
}

void UninstallContext::RemoveAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, TRUE) || folder[0] == 0) return;
  if (!::PathAppendW(folder, kDataFolderName)) return;
  if (::PathFileExistsW(folder)) uninstall::DeleteFolderTree(folder);
}

void UninstallContext::RemoveInstallFolder() {
  // Decided and deleted on the final path, so no link or alias leads the deletion elsewhere.
  const std::wstring folder =
      uninstall::InstallFolderToRemove(installDir_, uninstall::NamesOf(edition_).mainProcessFile);
  if (folder.empty()) return;
  if (uninstall::DeleteFolderTree(folder)) return;  // gone: nothing is left to register
  // Registered only while the path is still that folder: a name registered after the folder is
  // gone would delete whatever is put there before the restart.
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
  wchar_t temp[MAX_PATH] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return;
  const std::wstring scriptPath = std::wstring(temp) + uninstall::kScriptFileName;
  // The folder lines are written only for the uninstaller's own installation folder, by its final
  // path, and not when it still holds a link: the script's recursive del and rd may follow links
  // (some command processors do).
  uninstall::ScriptTargets targets;
  targets.uninstaller = module;
  targets.script = scriptPath;
  const std::wstring folder =
      uninstall::InstallFolderToRemove(installDir_, uninstall::NamesOf(edition_).mainProcessFile);
  if (!folder.empty() &&
      uninstall::SameFolderPath(uninstall::FinalPathOf(uninstall::FolderOf(module)), folder,
                                uninstall::NamesEqualIgnoreCase) &&
      !uninstall::ContainsLink(folder)) {
    targets.folder = uninstall::PlainDrivePath(folder);
  }
  const std::wstring script =
      uninstall::BuildSelfDeleteScript(targets, uninstall::IsNameableInScript);
  if (script.empty()) return;

  const std::string converted = uninstall::ToAnsi(script);
  if (converted.empty()) return;
  {
    uninstall::UniqueFileHandle file(::CreateFileW(scriptPath.c_str(), GENERIC_WRITE,
                                                   FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    if (!::WriteFile(file.get(), converted.data(), DWORD(converted.size()), &written, nullptr) ||
        written != DWORD(converted.size())) {
      return;  // a partial script must not run
    }
  }
  ::ShellExecuteW(nullptr, L"open", scriptPath.c_str(), nullptr, temp, SW_HIDE);
}

unsigned __stdcall UninstallThreadProc(void* callback) {
  auto* cb = static_cast<IUninstallCallBack*>(callback);
  if (cb == nullptr) return 0;
  const HRESULT com = ::CoInitialize(nullptr);
  uninstall::RunUninstallSequence(cb, UninstallContext::Instance(), [] { ::Sleep(50); });
  if (SUCCEEDED(com)) ::CoUninitialize();
  return 0;
}
