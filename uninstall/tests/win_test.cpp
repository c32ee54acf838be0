// The Win32 removal steps on the test prefix's own C: drive.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "removal_win.h"
#include "rules.h"

namespace {

using namespace uninstall;

std::wstring MakeTempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + name;
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

void WriteFile(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(f, "x", 1, &written, nullptr);
  ::CloseHandle(f);
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Catches nested folders or files left behind, and a trailing separator breaking the search.
TEST(DeleteFolderTree, RemovesNestedTreeWithOrWithoutTrailingSeparator) {
  for (const wchar_t* suffix : {L"", L"\\"}) {
    const std::wstring root = MakeTempFolder(L"kv_tree");
    ::CreateDirectoryW((root + L"\\a").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\a\\b").c_str(), nullptr);
    WriteFile(root + L"\\top.txt");
    WriteFile(root + L"\\a\\b\\deep.dll");
    EXPECT_TRUE(DeleteFolderTree(root + suffix));
    EXPECT_FALSE(Exists(root));
  }
}

// Catches a drive root, or a missing folder, being acted on.
TEST(DeleteFolderTree, RefusesShortPathsAndMissingFolders) {
  EXPECT_FALSE(DeleteFolderTree(L"C:\\"));
  EXPECT_FALSE(DeleteFolderTree(L"C:"));
  EXPECT_TRUE(Exists(L"C:\\windows"));
  EXPECT_FALSE(DeleteFolderTree(L"C:\\kv_missing_folder_xyz"));
}

// Catches a locked file making the step stop instead of registering it for restart.
TEST(DeleteFolderTree, LockedFileStaysAndTheRestIsGone) {
  const std::wstring root = MakeTempFolder(L"kv_locked");
  WriteFile(root + L"\\free.txt");
  WriteFile(root + L"\\locked.txt");
  HANDLE lock = ::CreateFileW((root + L"\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFolderTree(root));
  EXPECT_FALSE(Exists(root + L"\\free.txt"));
  EXPECT_TRUE(Exists(root + L"\\locked.txt"));
  ::CloseHandle(lock);
  EXPECT_TRUE(DeleteFolderTree(root));
}

// Catches the guard missing this machine's own system and user folders, in long or short form.
TEST(PathGuardOnThisMachine, RefusesSystemAndUserFolders) {
  wchar_t windows[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_FALSE(IsRemovableInstallFolder(windows));
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_FALSE(IsRemovableInstallFolder(system));
  for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                    CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_APPDATA}) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)));
    EXPECT_FALSE(IsRemovableInstallFolder(path)) << csidl;
    EXPECT_FALSE(IsRemovableInstallFolder(FolderOf(path)));
  }
  wchar_t programFiles[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
  wchar_t shortForm[MAX_PATH] = {};
  if (::GetShortPathNameW(programFiles, shortForm, MAX_PATH) > 0) {
    EXPECT_FALSE(IsRemovableInstallFolder(shortForm));
  }
  EXPECT_TRUE(IsRemovableInstallFolder(std::wstring(programFiles) + L"\\Kovra\\KovraPravik"));
  EXPECT_FALSE(IsRemovableInstallFolder(L"Kovra\\KovraPravik"));
}

// Catches the process step ending this process (or failing) when no module matches.
TEST(TerminateProcessByPath, UnrelatedPathEndsNothing) {
  EXPECT_TRUE(TerminateProcessByPath(L"C:\\kv_nowhere\\KovraPravik.exe"));
  EXPECT_TRUE(TerminateProcessByPath(L"\\KovraPravik.exe"));
}

// Catches a missing task reported as deleted.
TEST(ScheduledTask, MissingTaskIsNotDeleted) {
  EXPECT_FALSE(DeleteScheduledTask(L"KovraTaskThatDoesNotExist"));
}

// Catches a version record left empty.
TEST(OsVersion, FillsMajorVersion) {
  OSVERSIONINFOW v = {};
  EXPECT_TRUE(GetOsVersion(&v));
  EXPECT_GE(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
}

}  // namespace
