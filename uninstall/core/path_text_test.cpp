// Path texts: the program of a command, search patterns and folders.
#include "core/path_text.h"

#include <gtest/gtest.h>

namespace {

using namespace uninstall;

// Catches another program's command, a relative or bare name, or a cut quoted path taken for a
// program of ours.
TEST(PathRules, ProgramOfCommand) {
  EXPECT_EQ(ProgramOfCommand(L" \"C:\\Program Files\\K\\KovraPravik.exe\" \"%1\""),
            L"C:\\Program Files\\K\\KovraPravik.exe");
  EXPECT_EQ(ProgramOfCommand(L"C:\\K\\KovraPravik.exe %1"), L"C:\\K\\KovraPravik.exe");
  EXPECT_EQ(ProgramOfCommand(L"KovraPravik.exe \"%1\""), L"");
  EXPECT_EQ(ProgramOfCommand(L"\"C:\\K\\KovraPravik.exe %1"), L"");
  EXPECT_EQ(ProgramOfCommand(L"\\\\server\\K.exe"), L"");
  EXPECT_EQ(ProgramOfCommand(L""), L"");
}

// Catches a doubled separator in the pattern or a cut of the wrong part of the path.
TEST(PathRules, FindPatternFolderAndComparison) {
  EXPECT_EQ(FindPattern(L"C:\\K"), L"C:\\K\\*.*");
  EXPECT_EQ(FindPattern(L"C:\\K\\"), L"C:\\K\\*.*");
  EXPECT_EQ(FolderOf(L"C:\\K\\u_new.exe"), L"C:\\K");
  EXPECT_EQ(FolderOf(L"u.exe"), L"");
}

}  // namespace
