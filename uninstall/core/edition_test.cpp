// The edition table: names, registry keys and process targets per edition.
#include "core/edition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace uninstall;

// Catches a row out of order or a name with the wrong letter case.
TEST(EditionTable, NamesPerEdition) {
  EXPECT_STREQ(NamesOf(Student).mainProcessFile, L"KovraPravik.exe");
  EXPECT_STREQ(NamesOf(Teacher).mainProcessFile, L"Kovrapravik_Teacher.exe");
  EXPECT_STREQ(NamesOf(Admin).mainProcessFile, L"KovrapravikAdmin.exe");
  EXPECT_STREQ(NamesOf(Assistant).mainProcessFile, L"KovrapravikAssistant.exe");
  EXPECT_STREQ(NamesOf(Student).uninstallShortcutName, L"卸载KovraPravik");
  EXPECT_STREQ(NamesOf(Teacher).shortcutName, L"KovraPravik教师版");
  EXPECT_STREQ(NamesOf(Admin).uninstallShortcutName, L"卸载KovraPravik管理员版");
  EXPECT_STREQ(NamesOf(Assistant).uninstallKeyName, L"KovraPravik_Assistant");
  EXPECT_STREQ(NamesOf(static_cast<Edition>(7)).uninstallKeyName, L"KovraPravik");
}

// Catches the wrong registry view or the URL-protocol pairing not reversed under WOW64.
TEST(EditionTable, RegistryKeysByEditionAndView) {
  EXPECT_EQ(UninstallKeyPath(Student, false),
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KovraPravik");
  EXPECT_EQ(UninstallKeyPath(Admin, true),
            L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            L"KovraPravik_Admin");
  EXPECT_STREQ(UrlProtocolCommandKey(Student, false), L"qpx\\shell\\open\\command");
  EXPECT_STREQ(UrlProtocolCommandKey(Student, true), L"qpxt\\shell\\open\\command");
  EXPECT_STREQ(UrlProtocolCommandKey(Teacher, false), L"qpxt\\shell\\open\\command");
  EXPECT_STREQ(UrlProtocolCommandKey(Teacher, true), L"qpx\\shell\\open\\command");
  EXPECT_EQ(UrlProtocolCommandKey(Admin, false), nullptr);
  EXPECT_EQ(UrlProtocolCommandKey(Assistant, true), nullptr);
}

// Catches a lost process, a wrong order, or a separator "fixed up" where none must be.
TEST(EditionTable, ProcessTargetsAppendOneBackslash) {
  EXPECT_EQ(ProcessTargets(Student, L"C:\\K"),
            (std::vector<std::wstring>{L"C:\\K\\KovraPravik.exe", L"C:\\K\\crash_server.exe",
                                       L"C:\\K\\KovraUpdate.exe"}));
  EXPECT_EQ(ProcessTargets(Student, L"C:\\K\\")[0], L"C:\\K\\\\KovraPravik.exe");
  EXPECT_EQ(ProcessTargets(Student, L"")[0], L"\\KovraPravik.exe");
  EXPECT_EQ(ShortcutPath(L"C:\\D", L"KovraPravik"), L"C:\\D\\KovraPravik.lnk");
}

}  // namespace
