#include "removal_win.h"

#include <mstask.h>
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <taskschd.h>
#include <tlhelp32.h>

#include <cwchar>
#include <vector>

#include "edition.h"
#include "rules.h"
#include "unique_handle.h"

namespace uninstall {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

// Class and interface ids of the two task schedulers, spelled out so that no extra import
// library is needed.
constexpr CLSID kClsidTaskScheduler = {
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
constexpr IID kIidTaskService = {
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};
constexpr CLSID kClsidCTaskScheduler = {
    0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kIidITaskScheduler = {
    0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

template <typename T>
void ReleaseCom(T*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

void DeleteAtRestart(const std::wstring& path) {
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

std::wstring SpecialFolder(int csidl, bool create) {
  wchar_t buf[kPathChars] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buf, csidl, create ? TRUE : FALSE)) return {};
  return buf;
}

std::wstring FolderPath(int csidl) {
  wchar_t buf[kPathChars] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
  return buf;
}

std::wstring DownloadsFolder() {
  // FOLDERID_Downloads; looked up by value so older import libraries suffice.
  constexpr GUID kDownloads = {
      0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};
  using GetKnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
  HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
  auto get = shell ? reinterpret_cast<GetKnownFolderPath>(
                         reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetKnownFolderPath")))
                   : nullptr;
  if (get == nullptr) return {};
  PWSTR path = nullptr;
  std::wstring out;
  if (SUCCEEDED(get(kDownloads, 0, nullptr, &path)) && path != nullptr) out = path;
  ::CoTaskMemFree(path);
  return out;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buf[kPathChars] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, buf, kPathChars);
  return (n > 0 && n < kPathChars) ? std::wstring(buf) : std::wstring();
}

// Removes a junction or symbolic link itself (a folder link like an empty folder); when that is
// refused, the link is registered for removal at restart. Its target is never touched.
bool RemoveLink(const std::wstring& path, DWORD attributes) {
  const BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(path.c_str())
                                                               : ::DeleteFileW(path.c_str());
  if (!removed) DeleteAtRestart(path);
  return removed != FALSE;
}

void DeleteFileIfPresent(const std::wstring& path) {
  if (::PathFileExistsW(path.c_str())) ::DeleteFileW(path.c_str());
}

}  // namespace

std::wstring ModulePath() {
  wchar_t buf[kPathChars] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, buf, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  return buf;
}

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32");
  auto fn = kernel ? reinterpret_cast<IsWow64ProcessFn>(
                         reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")))
                   : nullptr;
  BOOL wow64 = FALSE;
  return fn != nullptr && fn(::GetCurrentProcess(), &wow64) && wow64;
}

bool TerminateProcessByPath(const std::wstring& path) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    UniqueHandle terminate(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (!terminate) continue;
    UniqueHandle query(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
    if (!query) continue;
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    if (!::EnumProcessModules(query.get(), modules.data(), DWORD(modules.size() * sizeof(HMODULE)),
                              &needed)) {
      continue;
    }
    const size_t count = std::min<size_t>(needed / sizeof(HMODULE), modules.size());
    for (size_t i = 0; i < count; ++i) {
      wchar_t name[kPathChars] = {};
      if (::GetModuleFileNameExW(query.get(), modules[i], name, kPathChars) == 0) continue;
      if (EqualsIgnoreCase(name, path)) {
        query.reset();
        if (!::TerminateProcess(terminate.get(), 0)) ::TerminateProcess(terminate.get(), 0);
        break;
      }
    }
  }
  return true;
}

bool DeleteFolderTree(const std::wstring& path) {
  if (path.size() <= 3) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return RemoveLink(path, attributes);
  }
  {
    WIN32_FIND_DATAW found = {};
    UniqueFindHandle search(::FindFirstFileW(FindPattern(path).c_str(), &found));
    if (search) {
      do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
        const std::wstring child = path + L"\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          RemoveLink(child, found.dwFileAttributes);  // never entered: its target is not ours
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          DeleteFolderTree(child);
        } else if (!::DeleteFileW(child.c_str())) {
          DeleteAtRestart(child);
        }
      } while (::FindNextFileW(search.get(), &found));
    }
  }
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool ContainsLink(const std::wstring& path) {
  WIN32_FIND_DATAW found = {};
  UniqueFindHandle search(::FindFirstFileW(FindPattern(path).c_str(), &found));
  if (!search) return false;
  do {
    if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ContainsLink(path + L"\\" + found.cFileName)) {
      return true;
    }
  } while (::FindNextFileW(search.get(), &found));
  return false;
}

ProtectedFolders ProtectedFoldersOfThisMachine() {
  ProtectedFolders p;
  for (int csidl :
       {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
        CSIDL_PROGRAM_FILES_COMMON, CSIDL_COMMON_APPDATA, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY,
        CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_COMMON_DOCUMENTS, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
    p.folders.push_back(FolderPath(csidl));
  }
  // A 32-bit process sees only the x86 Program Files through the shell; the native one comes
  // from the environment under WOW64.
  p.folders.push_back(Environment(L"ProgramW6432"));
  p.folders.push_back(Environment(L"SystemRoot"));
  p.folders.push_back(DownloadsFolder());
  const std::wstring profile = FolderPath(CSIDL_PROFILE);
  if (!profile.empty()) {
    p.folders.push_back(profile + L"\\AppData");
    p.usersRoot = FolderOf(profile);
  }
  return p;
}

bool IsRemovableInstallFolder(const std::wstring& dir) {
  const ProtectedFolders guarded = ProtectedFoldersOfThisMachine();
  if (CheckInstallFolder(dir, guarded) != GuardVerdict::kAllowed) return false;
  // Short (8.3) spellings and other aliases resolve to the long form the guard knows.
  wchar_t full[kPathChars] = {};
  const DWORD n = ::GetFullPathNameW(dir.c_str(), kPathChars, full, nullptr);
  if (n == 0 || n >= kPathChars) return false;
  wchar_t longPath[kPathChars] = {};
  const DWORD m = ::GetLongPathNameW(full, longPath, kPathChars);
  const std::wstring resolved = (m > 0 && m < kPathChars) ? longPath : full;
  return CheckInstallFolder(resolved, guarded) == GuardVerdict::kAllowed;
}

void RemoveShortcutSet(const wchar_t* shortcutName, const wchar_t* uninstallShortcutName) {
  if (shortcutName == nullptr) return;
  const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY, false);
  if (!desktop.empty()) DeleteFileIfPresent(ShortcutPath(desktop, shortcutName));
  wchar_t maker[kPathChars] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, maker, CSIDL_PROGRAMS, FALSE)) return;
  if (!::PathAppendW(maker, L"Kovra")) return;
  wchar_t product[kPathChars] = {};
  wcscpy(product, maker);
  if (!::PathAppendW(product, shortcutName)) return;
  DeleteFileIfPresent(ShortcutPath(product, shortcutName));
  if (uninstallShortcutName != nullptr) {
    DeleteFileIfPresent(ShortcutPath(product, uninstallShortcutName));
  }
  // RemoveDirectoryW only succeeds on empty folders: other products' folders keep the maker's.
  if (::PathFileExistsW(product)) ::RemoveDirectoryW(product);
  if (::PathFileExistsW(maker)) ::RemoveDirectoryW(maker);
}

bool DeleteScheduledTask(const wchar_t* name) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  if (FAILED(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
    ::CoUninitialize();
    return false;
  }
  ITaskService* service = nullptr;
  ITaskFolder* folder = nullptr;
  bool deleted = false;
  if (SUCCEEDED(::CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                   kIidTaskService, reinterpret_cast<void**>(&service)))) {
    VARIANT empty;
    ::VariantInit(&empty);
    if (SUCCEEDED(service->Connect(empty, empty, empty, empty))) {
      BSTR root = ::SysAllocString(L"\\");
      if (SUCCEEDED(service->GetFolder(root, &folder))) {
        BSTR task = ::SysAllocString(name);
        deleted = SUCCEEDED(folder->DeleteTask(task, 0));
        ::SysFreeString(task);
      }
      ::SysFreeString(root);
    }
  }
  ReleaseCom(folder);
  ReleaseCom(service);
  ::CoUninitialize();
  return deleted;
}

bool DeleteLegacyScheduledTask(const wchar_t* name) {
  if (FAILED(::CoInitialize(nullptr))) return false;
  ITaskScheduler* scheduler = nullptr;
  if (FAILED(::CoCreateInstance(kClsidCTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                kIidITaskScheduler, reinterpret_cast<void**>(&scheduler)))) {
    ::CoUninitialize();
    return false;
  }
  const bool deleted = SUCCEEDED(scheduler->Delete(name));
  ReleaseCom(scheduler);
  ::CoUninitialize();
  return deleted;
}

bool GetOsVersion(OSVERSIONINFOW* record) {
  *record = {};
  record->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  if (!::GetVersionExW(record)) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    OsVersion v;
    if (::SHGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                      L"CurrentVersion", nullptr, text, &size) == ERROR_SUCCESS &&
        VersionFromText(text)) {
      v = *VersionFromText(text);
    } else {
      v = VersionFromPacked(::GetVersion());
    }
    record->dwMajorVersion = v.major;
    record->dwMinorVersion = v.minor;
    record->dwPlatformId = v.nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
  }
  if (NeedsTrueVersion({record->dwMajorVersion, record->dwMinorVersion, true})) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                          reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                    : nullptr;
    OSVERSIONINFOW exact = {};
    exact.dwOSVersionInfoSize = sizeof(exact);
    if (fn != nullptr && fn(&exact) == 0) *record = exact;
  }
  return true;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string converted(static_cast<size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), converted.data(), bytes,
                            nullptr, nullptr) != bytes) {
    return {};
  }
  return converted;
}

bool RunProgram(const std::wstring& path) {
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), 0);
  return true;
}

}  // namespace uninstall
