// The Win32 removal steps on the test prefix's own C: drive.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "edition.h"
#include "removal_win.h"
#include "rules.h"
#include "self_delete_script.h"
#include "uninstall_context.h"

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

bool IsRemovableInstallFolder(const std::wstring& dir) {
  return !InstallFolderToRemove(dir, L"KovraPravik.exe").empty();
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
  const std::wstring mine = std::wstring(programFiles) + L"\\Kovra";
  ::CreateDirectoryW(mine.c_str(), nullptr);
  WriteFile(mine + L"\\KovraPravik.exe");
  EXPECT_TRUE(IsRemovableInstallFolder(mine));
  EXPECT_TRUE(DeleteFolderTree(mine));
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

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  ASSERT_EQ(::SHSetValueW(root, path.c_str(), name, REG_SZ, text.c_str(),
                          DWORD((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// Catches the location read from the wrong view or key, or a stale value kept when it is empty.
TEST(UninstallContextRegistry, LoadInstallLocation) {
  const std::wstring key = UninstallKeyPath(Student, IsWow64());
  UninstallContext& context = UninstallContext::Instance();
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"C:\\Program Files\\Kovra\\Kp");
  context.SetForTest(Teacher, L"");
  context.LoadInstallLocation();
  EXPECT_EQ(context.edition(), Student);
  EXPECT_EQ(context.installDir(), L"C:\\Program Files\\Kovra\\Kp");
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"");
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), L"");
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  context.SetForTest(Student, L"x");
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), L"");
}

// Catches the URL-protocol parents removed, or the other edition's command key taken.
TEST(UninstallContextRegistry, RemovesOnlyTheEditionsKeys) {
  const bool wow64 = IsWow64();
  const std::wstring uninstallKey = UninstallKeyPath(Student, wow64);
  const std::wstring mine = UrlProtocolCommandKey(Student, wow64);
  const std::wstring other = UrlProtocolCommandKey(Teacher, wow64);
  SetValue(HKEY_LOCAL_MACHINE, uninstallKey, L"InstallLocation", L"C:\\K");
  SetValue(HKEY_CLASSES_ROOT, mine, nullptr, L"a");
  SetValue(HKEY_CLASSES_ROOT, mine + L"\\deeper", nullptr, L"a");
  SetValue(HKEY_CLASSES_ROOT, other, nullptr, L"b");
  UninstallContext::Instance().SetForTest(Student, L"C:\\K");
  UninstallContext::Instance().RemoveRegistryEntries();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, mine));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, FolderOf(mine)));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, other));
  ::SHDeleteKeyW(HKEY_CLASSES_ROOT, L"qpx");
  ::SHDeleteKeyW(HKEY_CLASSES_ROOT, L"qpxt");
}

// Catches a failed WOW64 detection, which would send every registry step to the wrong view. Only
// meaningful in a 64-bit prefix (the wow64 test sets KV_EXPECT_WOW64).
TEST(Wow64, DetectedWhereExpected) {
  if (::GetEnvironmentVariableW(L"KV_EXPECT_WOW64", nullptr, 0) == 0) {
    GTEST_SKIP() << "32-bit prefix";
  }
  EXPECT_TRUE(IsWow64());
  EXPECT_EQ(UninstallKeyPath(Student, IsWow64()).rfind(L"SOFTWARE\\Wow6432Node\\", 0), 0u);
}

// Catches a script cut at a fixed buffer (long paths, or a double-byte code page) instead of
// being converted whole.
TEST(ScriptText, AnsiConversionIsNeverCut) {
  const std::wstring script =
      BuildSelfDeleteScript(L"C:\\" + std::wstring(500, L'p') + L"\\uninstall_new.exe",
                            L"C:\\" + std::wstring(500, L't') + L"\\delKovraUninstall.bat", true);
  ASSERT_GT(script.size(), 1819u);
  const std::string ansi = ToAnsi(script);
  EXPECT_EQ(ansi.size(), script.size());  // ASCII text: one byte per character
  EXPECT_EQ(ansi.substr(ansi.size() - 3), " /Q");
}

// Catches a version record left empty.
TEST(OsVersion, FillsMajorVersion) {
  OSVERSIONINFOW v = {};
  EXPECT_TRUE(GetOsVersion(&v));
  EXPECT_GE(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
}

}  // namespace
