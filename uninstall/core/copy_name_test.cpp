// The relaunched copy's name.
#include "core/copy_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace uninstall;

// Catches a case-sensitive marker test or a marker looked for only at the end.
TEST(CopyRules, MarkerAnywhereAnyCase) {
  EXPECT_TRUE(IsCopyPath(L"C:\\K\\uninstall_new.exe"));
  EXPECT_TRUE(IsCopyPath(L"C:\\K\\UNINSTALL_NEW.EXE"));
  EXPECT_TRUE(IsCopyPath(L"C:\\a_New.Exe\\uninstall.exe"));
  EXPECT_FALSE(IsCopyPath(L"C:\\K\\uninstall.exe"));
  EXPECT_FALSE(IsCopyPath(L"C:\\K\\uninstall_new.ex"));
}

// Catches a dot in a folder name taken for the extension, and a copy written under a cut name.
TEST(CopyRules, CopyPathReplacesExtensionOrRefuses) {
  EXPECT_EQ(CopyPathFor(L"C:\\K\\uninstall.exe").value(), L"C:\\K\\uninstall_new.exe");
  EXPECT_EQ(CopyPathFor(L"C:\\K.v2\\uninstall").value(), L"C:\\K.v2\\uninstall_new.exe");
  const std::wstring folder = L"C:\\" + std::wstring(240, L'a') + L"\\";
  const std::wstring fits = folder + std::wstring(259 - folder.size() - 8, L'b') + L".exe";
  EXPECT_EQ(CopyPathFor(fits).value().size(), 259u);
  const std::wstring tooLong = folder + std::wstring(259 - folder.size() - 7, L'b') + L".exe";
  EXPECT_FALSE(CopyPathFor(tooLong).has_value());
  EXPECT_EQ(InstalledPathOfCopy(L"C:\\K\\uninstall_NEW.exe"), L"C:\\K\\uninstall.exe");
  EXPECT_EQ(InstalledPathOfCopy(L"C:\\a_new.exe\\uninstall.exe"), L"");
}

}  // namespace
