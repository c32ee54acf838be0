// UninstallContext's registry steps on the test prefix's registry.
#include "uninstall_context.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "core/edition.h"
#include "core/path_text.h"
#include "os_win/folder_removal.h"
#include "os_win/processes.h"
#include "os_win/unique_handle.h"
#include "tests/uninstall_context_testing.h"
#include "tests/win_test_support.h"

namespace {

using namespace uninstall;
using namespace uninstall_testing;

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  const bool opened = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
  const UniqueHKey owned(key);
  return opened;
}

void SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  ASSERT_EQ(::SHSetValueW(root, path.c_str(), name, REG_SZ, text.c_str(),
                          DWORD((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// Catches the location read from the wrong view or key, a stale value kept when it is empty, and
// a location of 259 characters read although it does not fit the data size.
TEST(UninstallContextRegistry, LoadInstallLocation) {
  const std::wstring key = UninstallKeyPath(Student, IsWow64());
  UninstallContext& context = UninstallContext::Instance();
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"C:\\Program Files\\Kovra\\Kp");
  UninstallContextTesting::Set(context, Teacher, L"");
  context.LoadInstallLocation();
  EXPECT_EQ(context.edition(), Student);
  EXPECT_EQ(context.installDir(), L"C:\\Program Files\\Kovra\\Kp");
  // The data size is 519 bytes: 258 characters and the terminator fit, 259 do not.
  const std::wstring longest = L"C:\\" + std::wstring(255, L'k');
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", longest);
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), longest);
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", longest + L"k");
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), L"");
  SetValue(HKEY_LOCAL_MACHINE, key, L"InstallLocation", L"");
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), L"");
  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  UninstallContextTesting::Set(context, Student, L"x");
  context.LoadInstallLocation();
  EXPECT_EQ(context.installDir(), L"");
}

// Catches the URL-protocol parents removed, the other edition's command key taken, another
// program's command deleted, and a key deleted through a registry link.
TEST(UninstallContextRegistry, RemovesOnlyTheEditionsKeys) {
  const bool wow64 = IsWow64();
  const std::wstring uninstallKey = UninstallKeyPath(Student, wow64);
  const std::wstring mine = UrlProtocolCommandKey(Student, wow64);
  const std::wstring other = UrlProtocolCommandKey(Teacher, wow64);
  const std::wstring folder = MakeTempFolder(L"KovraPravik");
  WriteFile(folder + L"\\KovraPravik.exe");
  UninstallContext& context = UninstallContext::Instance();
  struct Row {
    const wchar_t* command;
    bool deleted;
  };
  const std::wstring ours = L"\"" + folder + L"\\KovraPravik.exe\" \"%1\"";
  for (const Row& row : {Row{ours.c_str(), true},
                         Row{L"\"C:\\Program Files\\OtherViewer\\viewer.exe\" \"%1\"", false},
                         Row{L"KovraPravik.exe \"%1\"", false}}) {
    SetValue(HKEY_LOCAL_MACHINE, uninstallKey, L"InstallLocation", folder);
    SetValue(HKEY_CLASSES_ROOT, mine, nullptr, row.command);
    SetValue(HKEY_CLASSES_ROOT, mine + L"\\deeper", nullptr, L"a");
    SetValue(HKEY_CLASSES_ROOT, other, nullptr, L"b");
    UninstallContextTesting::Set(context, Student, folder);
    context.RemoveRegistryEntries();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey));
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, mine), !row.deleted);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, FolderOf(mine)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, other));
  }

  // The uninstall key as a link to another product's key: the link goes, the other key stays.
  // Not in the WOW64 run: Wine redirects a link's target path once more there.
  const std::wstring victim = FolderOf(uninstallKey) + L"\\OtherProduct";
  if (!wow64) {
    SetValue(HKEY_LOCAL_MACHINE, victim + L"\\Sub", L"DisplayName", L"Other");
    HKEY raw = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), 0, nullptr,
                                REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr,
                                &raw, nullptr),
              ERROR_SUCCESS);
    {
      const UniqueHKey link(raw);
      const std::wstring target = L"\\Registry\\Machine\\" + victim;
      ::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(target.c_str()),
                       DWORD(target.size() * sizeof(wchar_t)));
    }
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey + L"\\Sub"));  // the link works
    context.RemoveRegistryEntries();
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, victim + L"\\Sub"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey));
  }

  ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, victim.c_str());
  ::SHDeleteKeyW(HKEY_CLASSES_ROOT, L"qpx");
  ::SHDeleteKeyW(HKEY_CLASSES_ROOT, L"qpxt");
  UninstallContextTesting::Set(context, Student, L"");
  DeleteFolderTree(folder);
}

}  // namespace
