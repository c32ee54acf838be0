// The path guard: which recorded folders may be deleted.
#include "core/path_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace uninstall;

// Stands in for the file system's case folding: ASCII, Latin-1 and Cyrillic letters.
wchar_t Upper(wchar_t c) {
  if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return wchar_t(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return wchar_t(c - 0x20);
  return c;
}

bool FoldEqual(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

ProtectedFolders Machine() {
  ProtectedFolders p;
  p.inside = {L"C:\\windows", L""};
  p.folders = {L"C:\\Program Files", L"C:\\Program Files (x86)", L"C:\\Program Files\\Common Files",
               L"C:\\ProgramData",   L"C:\\users\\bob\\Desktop", L"F:\\Redirected\\Docs"};
  p.profiles = {L"C:\\users\\bob", L"C:\\users\\Public", L"D:\\Profiles\\carol",
                L"E:\\\u041F\u0440\u043E\u0444\u0438\u043B\u044C"};
  p.profilesRoots = {L"C:\\users"};
  return p;
}

struct GuardRow {
  const wchar_t* recorded;
  GuardVerdict expected;
  const wchar_t* finalPath = nullptr;  // nullptr: the recorded text itself
  bool isDirectory = true;
  bool holdsMainProcessFile = true;
  const wchar_t* uninstallerFolder = L"";
};

// Catches any spelling of a drive root, the system, program or profile folders, an alias, a file
// or a folder without a trace of the product that slips past the decision, and an ordinary
// installation folder refused (it would then be left behind).
TEST(PathGuard, DecisionTable) {
  using V = GuardVerdict;
  const GuardRow rows[] = {
      {L"C:\\", V::kDriveRoot},
      {L"c:/", V::kDriveRoot},
      {L"C:\\\\", V::kDriveRoot},
      {L"\\\\?\\C:\\", V::kDriveRoot},
      {L"D:\\.", V::kBadComponent},
      {L"C:\\ ", V::kBadComponent},
      {L"C:\\Kovra\\..\\Windows", V::kBadComponent},
      {L"C:\\Kovra\\.", V::kBadComponent},
      {L"C:\\Kovra:stream", V::kBadComponent},
      {L"Kovra\\KovraPravik", V::kNotLocalAbsolute},
      {L"\\Kovra", V::kNotLocalAbsolute},
      {L"C:Kovra", V::kNotLocalAbsolute},
      {L"\\\\server\\share\\Kovra", V::kNotLocalAbsolute},
      {L"\\\\?\\UNC\\server\\share\\Kovra", V::kNotLocalAbsolute},
      {L"\\\\.\\C:", V::kNotLocalAbsolute},
      {L"\\??\\C:\\Kovra", V::kNotLocalAbsolute},
      {L"", V::kNotLocalAbsolute},
      // Windows and everything in it.
      {L"C:\\Windows", V::kProtected},
      {L"c:\\WINDOWS\\", V::kProtected},
      {L"C:/windows/System32", V::kProtected},
      {L"C:\\Windows. ", V::kProtected},
      {L"C:\\Windows\\Kovra\\KovraPravik", V::kProtected},
      {L"\\\\?\\C:\\Windows\\Temp\\K", V::kProtected},
      {L"\\\\.\\c:\\windows", V::kProtected},
      // Program and data folders and their ancestors.
      {L"C:\\Program Files", V::kProtected},
      {L"C:\\program files (x86)\\", V::kProtected},
      {L"C:\\Program Files\\Common Files", V::kProtected},
      {L"C:\\ProgramData", V::kProtected},
      {L"F:\\Redirected", V::kProtected},
      // Profiles: the profiles folder, every profile root, every profile's well-known folders.
      {L"C:\\Users", V::kProtected},
      {L"C:\\Users\\bob", V::kProfileRoot},
      {L"C:\\Users\\alice", V::kProfileRoot},
      {L"C:\\Users\\Public\\", V::kProfileRoot},
      {L"D:\\Profiles\\carol", V::kProfileRoot},
      {L"D:\\Profiles", V::kProtected},
      {L"C:\\Users\\alice\\Documents", V::kProtected},
      {L"C:\\Users\\alice\\AppData", V::kProtected},
      {L"C:\\Users\\Bob\\appdata\\roaming", V::kProtected},
      {L"C:\\Users\\Public\\Music", V::kProtected},
      {L"D:\\Profiles\\carol\\Downloads.", V::kProtected},
      {L"e:\\\u043F\u0420\u041E\u0424\u0418\u041B\u042C\\pictures", V::kProtected},
      // Aliases: the final path decides.
      {L"C:\\Apps\\Link\\bob\\Documents", V::kProtected, L"\\\\?\\C:\\users\\bob\\Documents"},
      {L"C:\\PROGRA~1", V::kProtected, L"\\\\?\\C:\\Program Files"},
      {L"C:\\Apps\\Gone", V::kUnresolved, L""},
      // Only the product's own folder goes.
      {L"C:\\Users\\bob\\Documents\\letter.txt", V::kNotDirectory, nullptr, false},
      {L"D:\\Work\\Thesis", V::kNotOwned, nullptr, true, false, L"\\\\?\\C:\\Program Files\\K"},
      {L"D:\\Kovra", V::kAllowed, nullptr, true, false, L"\\\\?\\d:\\kovra\\"},
      {L"C:\\Program Files\\Kovra\\KovraPravik", V::kAllowed},
      {L"\\\\?\\C:\\Program Files (x86)\\Kovra", V::kAllowed},
      {L"C:\\users\\bob\\AppData\\Local\\Kovra\\", V::kAllowed},
      {L"C:\\Users\\bob\\Documents\\Kovra", V::kAllowed},
      {L"C:\\Users\\alice\\Kovra", V::kAllowed},
      {L"C:\\a%num%b", V::kAllowed},
      {L"C:\\Apps\\a\uFF05num\uFF05b", V::kAllowed},
      {L"C:\\Windows2", V::kAllowed},
  };
  const ProtectedFolders m = Machine();
  for (const GuardRow& row : rows) {
    const std::wstring recorded = row.recorded;
    SCOPED_TRACE(testing::Message() << std::string(recorded.begin(), recorded.end()));
    InstallFolderFacts facts;
    facts.recorded = recorded;
    facts.finalPath = row.finalPath != nullptr ? row.finalPath : row.recorded;
    facts.isDirectory = row.isDirectory;
    facts.holdsMainProcessFile = row.holdsMainProcessFile;
    facts.uninstallerFolder = row.uninstallerFolder;
    EXPECT_EQ(DecideInstallFolder(facts, m, FoldEqual), row.expected);
  }
}

// Catches a data folder that holds an installation, or lies in a protected place, deleted, and
// the name a folder is judged by taken from the wrong end of its path.
TEST(PathGuard, DataFolderAndLastName) {
  const ProtectedFolders m = Machine();
  InstallFolderFacts facts;
  facts.recorded = facts.finalPath = L"C:\\Program Files\\Kovra";
  facts.isDirectory = true;
  EXPECT_EQ(DecideDataFolder(facts, m, FoldEqual), GuardVerdict::kAllowed);
  facts.holdsMainProcessFile = true;
  EXPECT_EQ(DecideDataFolder(facts, m, FoldEqual), GuardVerdict::kHoldsInstallation);
  facts.holdsMainProcessFile = false;
  facts.finalPath = L"\\\\?\\C:\\users\\bob\\Documents";
  EXPECT_EQ(DecideDataFolder(facts, m, FoldEqual), GuardVerdict::kProtected);
  EXPECT_EQ(LastName(L"\\\\?\\C:\\Apps\\KovraPravik. \\"), L"KovraPravik");
  EXPECT_EQ(LastName(L"C:\\"), L"");
}

// Catches a final path handed to the script in a spelling that names another folder.
TEST(PathGuard, PlainDrivePath) {
  EXPECT_EQ(PlainDrivePath(L"\\\\?\\C:\\Program Files\\K"), L"C:\\Program Files\\K");
  EXPECT_EQ(PlainDrivePath(L"\\\\?\\C:\\K."), L"");
  EXPECT_EQ(PlainDrivePath(L"\\\\?\\C:\\K \\x"), L"");
  EXPECT_EQ(PlainDrivePath(L"\\\\?\\UNC\\s\\x"), L"");
  EXPECT_EQ(PlainDrivePath(L"\\\\?\\C:\\"), L"");
}

}  // namespace
