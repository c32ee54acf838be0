#include "os_win/guarded_folders.h"

#include <shlobj.h>

#include <vector>

#include "core/edition.h"
#include "core/path_text.h"
#include "os_win/files.h"
#include "os_win/folder_removal.h"
#include "os_win/processes.h"
#include "os_win/registry.h"
#include "os_win/shell.h"

namespace uninstall {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

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

}  // namespace

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

}  // namespace uninstall
