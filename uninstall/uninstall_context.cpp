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
  static UninstallContext context;  // C++11 guarantees one initialisation across threads
  return context;
}

void UninstallContext::SetForTest(Edition edition, std::wstring installDir) {
  edition_ = edition;
  installDir_ = std::move(installDir);
}

void UninstallContext::LoadInstallLocation() {
  edition_ = Student;
  const std::wstring key = uninstall::UninstallKeyPath(edition_, uninstall::IsWow64());
  wchar_t value[MAX_PATH] = {};
  DWORD size = 519;  // bytes; the last character of the buffer always stays 0
  DWORD type = 0;
  if (::SHGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallLocation", &type, value, &size) ==
          ERROR_SUCCESS &&
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
  if (installDir_.empty() || !uninstall::IsRemovableInstallFolder(installDir_)) return;
  if (!::PathFileExistsW(installDir_.c_str())) return;
  uninstall::DeleteFolderTree(installDir_);
  ::MoveFileExW(installDir_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
  // The script's recursive del and rd may follow links (some command processors do), so a folder
  // that still holds one is left in place; only the uninstaller file goes.
  const std::wstring folder = uninstall::FolderOf(module);
  const bool removeFolder = uninstall::SameFolder(folder, installDir_) &&
                            uninstall::IsRemovableInstallFolder(installDir_) &&
                            !uninstall::ContainsLink(folder);
  const std::wstring script = uninstall::BuildSelfDeleteScript(module, scriptPath, removeFolder);

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
