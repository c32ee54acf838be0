#include "removal_win.h"

#include <mstask.h>
#include <psapi.h>
#include <sddl.h>
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

// A known folder by id; looked up at run time so older import libraries suffice.
std::wstring KnownFolder(const GUID& id) {
  using GetKnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
  HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
  auto get = shell ? reinterpret_cast<GetKnownFolderPath>(
                         reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetKnownFolderPath")))
                   : nullptr;
  if (get == nullptr) return {};
  PWSTR path = nullptr;
  std::wstring out;
  if (SUCCEEDED(get(id, 0, nullptr, &path)) && path != nullptr) out = path;
  ::CoTaskMemFree(path);
  return out;
}

constexpr GUID kFolderDownloads = {
    0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};
constexpr GUID kFolderUserProfiles = {
    0x0762D272, 0xC50A, 0x4BB0, {0xA3, 0x82, 0x69, 0x7D, 0xCD, 0x72, 0x9B, 0x80}};
constexpr GUID kFolderPublic = {
    0xDFDF76A2, 0xC82A, 0x4D63, {0x90, 0x6A, 0x56, 0x44, 0xAC, 0x45, 0x73, 0x85}};

constexpr wchar_t kProfileListKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::wstring Environment(const wchar_t* name) {
  wchar_t buf[kPathChars] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, buf, kPathChars);
  return (n > 0 && n < kPathChars) ? std::wstring(buf) : std::wstring();
}

// A text value read so that it always ends in a terminator (REG_SZ, or REG_EXPAND_SZ expanded);
// empty when it is missing, of another type or longer than 1024 characters.
std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value, REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS) return {};
  UniqueHKey opened(raw);
  wchar_t text[1024] = {};
  DWORD size = sizeof(text);
  if (::RegGetValueW(opened.get(), nullptr, value, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return text;
}

void DeleteFileIfPresent(const std::wstring& path) {
  if (::PathFileExistsW(path.c_str())) ::DeleteFileW(path.c_str());
}

// Adds `path` and, when it resolves, its final path: a protected folder reached through a link
// or a short name must be recognised in either spelling.
void AddFolder(std::vector<std::wstring>& list, const std::wstring& path) {
  if (path.empty()) return;
  list.push_back(path);
  std::wstring resolved = FinalPathOf(path);
  if (!resolved.empty()) list.push_back(std::move(resolved));
}

// The profile roots listed in the registry (every user's, Public and Default), native view.
void AddListedProfiles(ProtectedFolders& p) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_READ | KEY_WOW64_64KEY, &raw) !=
      ERROR_SUCCESS) {
    return;
  }
  UniqueHKey list(raw);
  AddFolder(p.profilesRoots, RegistryText(list.get(), nullptr, L"ProfilesDirectory", 0));
  AddFolder(p.profiles, RegistryText(list.get(), nullptr, L"Public", 0));
  AddFolder(p.profiles, RegistryText(list.get(), nullptr, L"Default", 0));
  for (DWORD i = 0;; ++i) {
    wchar_t sid[256] = {};
    DWORD chars = 256;
    const LONG r = ::RegEnumKeyExW(list.get(), i, sid, &chars, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    AddFolder(p.profiles, RegistryText(list.get(), sid, L"ProfileImagePath", 0));
  }
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

bool TerminateProcessByPath(const std::wstring& finalPath) {
  const std::wstring fileName = finalPath.substr(finalPath.rfind(L'\\') + 1);
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
      // Only a module of the same file name is resolved: one open per candidate, not per module.
      const std::wstring path = name;
      const std::wstring base = path.substr(path.rfind(L'\\') + 1);
      if (!NamesEqualIgnoreCase(base, fileName) ||
          !NamesEqualIgnoreCase(FinalPathOf(path), finalPath)) {
        continue;
      }
      query.reset();
      if (!::TerminateProcess(terminate.get(), 0)) ::TerminateProcess(terminate.get(), 0);
      break;
    }
  }
  return true;
}

bool NamesEqualIgnoreCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(),
                                                        int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FinalPathOf(const std::wstring& path, bool* isDirectory) {
  if (isDirectory != nullptr) *isDirectory = false;
  if (path.empty()) return {};
  UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return {};
  std::wstring out = FinalPathOfHandle(file.get());
  if (!out.empty() && isDirectory != nullptr) {
    *isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  return out;
}

ProtectedFolders ProtectedFoldersOfThisMachine() {
  ProtectedFolders p;
  wchar_t windows[kPathChars] = {};
  const UINT n = ::GetSystemWindowsDirectoryW(windows, kPathChars);
  if (n > 0 && n < kPathChars) AddFolder(p.inside, windows);
  for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86}) {
    AddFolder(p.inside, FolderPath(csidl));
  }
  AddFolder(p.inside, Environment(L"SystemRoot"));
  for (int csidl :
       {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
        CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_COMMON_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
        CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
        CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS,
        CSIDL_COMMON_PICTURES, CSIDL_COMMON_MUSIC, CSIDL_COMMON_VIDEO, CSIDL_COMMON_PROGRAMS}) {
    AddFolder(p.folders, FolderPath(csidl));
  }
  AddFolder(p.folders, KnownFolder(kFolderDownloads));
  // A 32-bit process is shown the x86 Program Files; under WOW64 the native ones come from the
  // 64-bit registry view and the environment.
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
    for (const wchar_t* value : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir",
                                 L"CommonFilesDir", L"CommonFilesDir (x86)", L"CommonW6432Dir"}) {
      AddFolder(p.folders, RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersionKey, value, view));
    }
  }
  for (const wchar_t* name :
       {L"ProgramW6432", L"CommonProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)",
        L"CommonProgramFiles", L"CommonProgramFiles(x86)", L"ProgramData"}) {
    AddFolder(p.folders, Environment(name));
  }
  const std::wstring profile = FolderPath(CSIDL_PROFILE);
  AddFolder(p.profiles, profile);
  AddFolder(p.profiles, KnownFolder(kFolderPublic));
  AddFolder(p.profilesRoots, KnownFolder(kFolderUserProfiles));
  if (!profile.empty()) AddFolder(p.profilesRoots, FolderOf(profile));
  AddListedProfiles(p);
  return p;
}

namespace {

// Gathered once per process (the worker's steps and the script read the same facts) and never
// destroyed, so a worker still running at process exit never reads freed state.
const ProtectedFolders& MachineFolders() {
  static const ProtectedFolders* const machine =
      new ProtectedFolders(ProtectedFoldersOfThisMachine());
  return *machine;
}

using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);

// Opens `name` below `parent` as the key itself, never the key a link names.
UniqueHKey OpenKeyNoLink(HKEY parent, const std::wstring& name, REGSAM access) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, &raw) != ERROR_SUCCESS) {
    return {};
  }
  return UniqueHKey(raw);
}

bool IsLinkKey(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

constexpr REGSAM kDeleteAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Deletes the open key (opened without following links) and, unless it is a link, its subkeys.
bool DeleteOpenKey(HKEY key) {
  static const auto deleteKey = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  if (deleteKey == nullptr) return false;
  if (!IsLinkKey(key)) {
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256] = {};
      DWORD chars = 256;
      const LONG r = ::RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_MORE_DATA) continue;
      if (r != ERROR_SUCCESS) break;
      names.push_back(name);
    }
    for (const std::wstring& name : names) {
      if (UniqueHKey child = OpenKeyNoLink(key, name, kDeleteAccess)) DeleteOpenKey(child.get());
    }
  }
  return deleteKey(key) >= 0;
}

}  // namespace

bool DeleteRegistryTree(HKEY root, const std::wstring& subkey,
                        const std::function<bool(HKEY key)>& mayDelete) {
  // Under HKEY_CLASSES_ROOT every key on the way may come from the user's own classes, which any
  // program the user runs can write: each is opened by itself, and a link among them stops the
  // deletion. Elsewhere the keys on the way are the system's (and WOW64 redirects them), so the
  // parent is opened in one step; the key itself is never followed.
  const bool walk = root == HKEY_CLASSES_ROOT;
  const size_t split = subkey.rfind(L'\\');
  UniqueHKey key;
  HKEY parent = root;
  size_t start = 0;
  if (!walk && split != std::wstring::npos) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, subkey.substr(0, split).c_str(), 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS) {
      return false;
    }
    key.reset(raw);
    parent = key.get();
    start = split + 1;
  }
  while (start <= subkey.size()) {
    size_t end = subkey.find(L'\\', start);
    if (end == std::wstring::npos) end = subkey.size();
    const bool last = end == subkey.size();
    UniqueHKey next =
        OpenKeyNoLink(parent, subkey.substr(start, end - start),
                      last ? kDeleteAccess : KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS);
    if (!next || (!last && IsLinkKey(next.get()))) return false;
    key = std::move(next);
    parent = key.get();
    start = end + 1;
  }
  if (mayDelete && !mayDelete(key.get())) return false;
  return DeleteOpenKey(key.get());
}

std::wstring CommandProgramOf(HKEY key) {
  if (IsLinkKey(key)) return {};
  // RegGetValueW ends the text and expands a REG_EXPAND_SZ command.
  wchar_t text[1024] = {};
  DWORD size = sizeof(text);
  if (::RegGetValueW(key, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return {};
  }
  const std::wstring program = ProgramOfCommand(text);
  return program.empty() ? std::wstring() : FinalPathOf(program);
}

std::wstring InstallFolderToRemove(const std::wstring& recorded, const wchar_t* mainProcessFile) {
  if (recorded.empty() || mainProcessFile == nullptr) return {};
  InstallFolderFacts facts;
  facts.recorded = recorded;
  facts.finalPath = FinalPathOf(recorded, &facts.isDirectory);
  if (facts.isDirectory) {
    const DWORD main = ::GetFileAttributesW((facts.finalPath + L"\\" + mainProcessFile).c_str());
    facts.holdsMainProcessFile =
        main != INVALID_FILE_ATTRIBUTES && (main & FILE_ATTRIBUTE_DIRECTORY) == 0;
    facts.uninstallerFolder = FinalPathOf(FolderOf(ModulePath()));
  }
  if (DecideInstallFolder(facts, MachineFolders(), NamesEqualIgnoreCase) !=
      GuardVerdict::kAllowed) {
    return {};
  }
  return facts.finalPath;
}

std::wstring DataFolderToRemove(const std::wstring& recorded) {
  if (recorded.empty()) return {};
  InstallFolderFacts facts;
  facts.recorded = recorded;
  facts.finalPath = FinalPathOf(recorded, &facts.isDirectory);
  // The user decides where AppData lies and can link the folder anywhere: only a folder reached
  // through no link, inside the user's own profile (as the system records it), is taken.
  const std::wstring profile = FinalPathOf(FolderPath(CSIDL_PROFILE));
  if (!SameFolderPath(facts.finalPath, recorded, NamesEqualIgnoreCase) || profile.empty() ||
      !IsInside(facts.finalPath, profile, NamesEqualIgnoreCase)) {
    return {};
  }
  if (facts.isDirectory) {
    facts.holdsMainProcessFile =
        TreeHoldsFileNamed(facts.finalPath, MainProcessFilesOfAllEditions());
  }
  if (DecideDataFolder(facts, MachineFolders(), NamesEqualIgnoreCase) != GuardVerdict::kAllowed) {
    return {};
  }
  return facts.finalPath;
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
    // RegGetValueW always ends the text, even a value that fills the buffer.
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    OsVersion v;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                       L"CurrentVersion", RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS &&
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
  const UINT codePage = ::GetACP();
  // UTF-7 and UTF-8 take neither flag; the round trip below proves them exact.
  const bool unicode = codePage == CP_UTF7 || codePage == CP_UTF8;
  const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  const int bytes = ::WideCharToMultiByte(CP_ACP, flags, text.c_str(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string converted(static_cast<size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  if (::WideCharToMultiByte(CP_ACP, flags, text.c_str(), int(text.size()), converted.data(), bytes,
                            nullptr, unicode ? nullptr : &usedDefault) != bytes ||
      usedDefault) {
    return {};
  }
  // A look-alike or substitute that slipped through shows as a difference on the way back.
  const int chars =
      ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.data(), bytes, nullptr, 0);
  if (chars != int(text.size())) return {};
  std::wstring back(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.data(), bytes, back.data(), chars);
  if (back != text) return {};
  return converted;
}

bool IsNameableInScript(const std::wstring& path) {
  // With delayed expansion switched on for the user, "!" would be expanded inside quotes too.
  if (path.find(L'!') != std::wstring::npos) return false;
  const std::string bytes = ToAnsi(path);
  if (bytes.empty()) return false;
  if (::GetACP() == ::GetOEMCP()) return true;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
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

namespace {

// The whole content of the file `file` (open for reading); empty on failure or above 64 MiB.
bool ReadAll(HANDLE file, std::string* bytes) {
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart > (64 << 20)) return false;
  bytes->assign(size_t(size.QuadPart), '\0');
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  DWORD read = 0;
  return bytes->empty() || (::ReadFile(file, bytes->data(), DWORD(bytes->size()), &read, nullptr) &&
                            read == bytes->size());
}

// True when the open file `file` is a plain file of one name, reached by exactly `path` (no
// link on the way), holding exactly `bytes`.
bool IsPlainCopyOf(HANDLE file, const std::wstring& path, const std::string& bytes) {
  BY_HANDLE_FILE_INFORMATION info = {};
  std::string content;
  return ::GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         info.nNumberOfLinks == 1 &&
         NamesEqualIgnoreCase(FinalPathOfHandle(file),
                              FinalPathOf(FolderOf(path)) + path.substr(path.rfind(L'\\'))) &&
         ReadAll(file, &content) && content == bytes;
}

}  // namespace

UniqueFileHandle WriteCopyOfSelf(const std::wstring& module, const std::wstring& copy) {
  std::string program;
  {
    UniqueFileHandle self(::CreateFileW(module.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (!self || !ReadAll(self.get(), &program) || program.empty()) return {};
  }
  // A name already there goes only when it is a copy of this very program (a run's leftover).
  UniqueFileHandle old(::CreateFileW(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (old) {
    if (!IsPlainCopyOf(old.get(), copy, program)) return {};
    FILE_DISPOSITION_INFO gone = {TRUE};
    if (!::SetFileInformationByHandle(old.get(), FileDispositionInfo, &gone, sizeof(gone))) {
      return {};
    }
    old.reset();
  } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return {};  // there, but not to be opened: not ours to replace
  }
  if (!WriteNewFile(copy, program)) return {};
  // Read back and held against writers and renames until the copy runs: what starts is what was
  // written, even in a folder that others can write to.
  UniqueFileHandle held(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!held || !IsPlainCopyOf(held.get(), copy, program)) return {};
  return held;
}

bool WriteNewFile(const std::wstring& path, const std::string& bytes) {
  // CREATE_NEW never opens what is there: no link and no second name of another file is written.
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool whole = bytes.empty() || (::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()),
                                                   &written, nullptr) &&
                                       written == bytes.size());
  if (!whole) {
    FILE_DISPOSITION_INFO gone = {TRUE};  // a partial file must not stay, let alone run
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof(gone));
  }
  return whole;
}

std::wstring SystemProgram(const wchar_t* name) {
  wchar_t folder[kPathChars] = {};
  const UINT n = ::GetSystemDirectoryW(folder, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  return std::wstring(folder) + L"\\" + name;
}

std::wstring MakeScriptFolder(const std::wstring& onVolumeOf) {
  wchar_t windows[kPathChars] = {};
  const UINT n = ::GetSystemWindowsDirectoryW(windows, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  // On the Windows volume in its Temp folder; on another volume at its root, so that files there
  // can be moved in by renaming (ordinary users may add folders to a root, not remove ours).
  std::wstring base = std::wstring(windows) + L"\\Temp";
  const std::wstring drive = PlainDrivePath(onVolumeOf).substr(0, 2);
  if (!onVolumeOf.empty()) {
    if (drive.size() != 2 || drive[1] != L':') return {};
    if (!NamesEqualIgnoreCase(drive, base.substr(0, 2))) base = drive;
  }
  // Owned by the administrators, inheritance cut: nobody else may write, rename or re-permit it.
  // Where the owner cannot be set (not elevated), the same list with the default owner.
  for (const wchar_t* sddl : {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)"}) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &raw,
                                                                nullptr)) {
      continue;
    }
    UniqueLocal descriptor(raw);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    for (int attempt = 0; attempt < 3; ++attempt) {
      GUID id = {};
      wchar_t text[40] = {};
      if (FAILED(::CoCreateGuid(&id)) || ::StringFromGUID2(id, text, 40) == 0) return {};
      const std::wstring folder = base + L"\\KovraUninstall-" + text;
      // A folder that exists is never taken: only one this call made is known to be private.
      if (::CreateDirectoryW(folder.c_str(), &attributes)) return folder;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
  }
  return {};
}

bool RunScript(const std::wstring& script, const std::wstring& folder) {
  const std::wstring shell = SystemProgram(L"cmd.exe");
  const std::wstring system = FolderOf(shell);
  if (shell.empty() || script.empty() || folder.empty()) return false;
  // /D: no AutoRun commands; /V:OFF: "!" stays literal; "call" returns here for the folder.
  std::wstring commandLine =
      L"\"" + shell + L"\" /D /V:OFF /C \"call \"" + script + L"\" & rd \"" + folder + L"\"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, system.c_str(), &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  return true;
}

}  // namespace uninstall
