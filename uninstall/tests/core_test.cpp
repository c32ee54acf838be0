// Portable rules of the uninstaller: names, keys, paths, script text, guard and sequence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edition.h"
#include "path_guard.h"
#include "rules.h"
#include "self_delete_script.h"
#include "sequence.h"

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

// Catches a percent not clamped or the sign on the wrong side.
TEST(PathRules, PercentText) {
  EXPECT_EQ(PercentText(48), L"%48");
  EXPECT_EQ(PercentText(-5), L"%0");
  EXPECT_EQ(PercentText(250), L"%100");
}

// Catches XP/2003 sent to the 2.0 scheduler (or 2000 to 1.0) and a wrong version parse.
TEST(VersionRules, TaskSchedulerChoiceAndParsing) {
  EXPECT_TRUE(UseLegacyTaskScheduler({5, 1, true}));
  EXPECT_TRUE(UseLegacyTaskScheduler({5, 2, true}));
  EXPECT_FALSE(UseLegacyTaskScheduler({5, 0, true}));
  EXPECT_FALSE(UseLegacyTaskScheduler({6, 1, true}));
  EXPECT_FALSE(NeedsTrueVersion({6, 1, true}));
  EXPECT_TRUE(NeedsTrueVersion({6, 2, true}));
  EXPECT_TRUE(NeedsTrueVersion({10, 0, true}));
  const OsVersion v = VersionFromText(L"6.3").value();
  EXPECT_EQ(v.major, 6u);
  EXPECT_EQ(v.minor, 3u);
  EXPECT_TRUE(v.nt);
  EXPECT_FALSE(VersionFromText(L"x").has_value());
  const OsVersion packed = VersionFromPacked(0x23F00105);
  EXPECT_EQ(packed.major, 5u);
  EXPECT_EQ(packed.minor, 1u);
  EXPECT_TRUE(packed.nt);
  EXPECT_FALSE(VersionFromPacked(0x0A04).nt);
}

// Catches the idle state re-armed by the frequent messages.
TEST(LoopRules, IdleMessages) {
  EXPECT_FALSE(IsIdleMessage(0x0200));
  EXPECT_FALSE(IsIdleMessage(0x00A0));
  EXPECT_FALSE(IsIdleMessage(0x000F));
  EXPECT_FALSE(IsIdleMessage(0x0118));
  EXPECT_TRUE(IsIdleMessage(0x0111));
}

// Catches a window centred off the work area or pushed past its left/top edge.
TEST(LoopRules, CenterInWorkArea) {
  const Point p = CenterInWorkArea({0, 0, 1024, 740}, 640, 390);
  EXPECT_EQ(p.x, 192);
  EXPECT_EQ(p.y, 175);
  const Point big = CenterInWorkArea({100, 50, 600, 450}, 640, 390);
  EXPECT_EQ(big.x, 100);
  EXPECT_EQ(big.y, 55);
}

bool AnyPath(const std::wstring&) { return true; }

// Stands in for a code page without the full-width forms: only ASCII converts exactly.
bool AsciiOnly(const std::wstring& path) {
  for (wchar_t c : path) {
    if (c >= 0x80) return false;
  }
  return true;
}

constexpr wchar_t kPing[] = L"C:\\Windows\\system32\\PING.EXE";

// Catches any change of the script's lines, its CR LF ends or a line end after the last; a bare
// "ping" (found first in whatever folder the script runs in) or a recursive deletion coming back.
TEST(SelfDeleteScript, TenLinesByteForByte) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\Program Files\\Kovra\\uninstall_new.exe", L"C:\\Program Files\\Kovra",
       L"C:\\Windows\\Temp\\KovraUninstall-{1}\\delKovraUninstall.bat", kPing},
      AnyPath);
  const std::wstring expected =
      L"set num=0\r\n"
      L":kovradel\r\n"
      L"set /a num+=1\r\n"
      L"if %num% GTR 10 goto kovraend\r\n"
      L"\"C:\\Windows\\system32\\PING.EXE\" 127.0.0.1\r\n"
      L"del /Q \"C:\\Program Files\\Kovra\\uninstall_new.exe\"\r\n"
      L"if exist \"C:\\Program Files\\Kovra\\uninstall_new.exe\" goto kovradel\r\n"
      L"rd \"C:\\Program Files\\Kovra\"\r\n"
      L":kovraend\r\n"
      L"del \"C:\\Windows\\Temp\\KovraUninstall-{1}\\delKovraUninstall.bat\" /Q";
  EXPECT_EQ(script, expected);
  // Without the pause program by its full path there is no waiting, so no deleting either.
  EXPECT_EQ(BuildSelfDeleteScript({L"C:\\K\\u_new.exe", L"C:\\K", L"C:\\T\\d.bat", L""}, AnyPath),
            L":kovraend\r\ndel \"C:\\T\\d.bat\" /Q");
}

// Catches a '%' in a path left for the command processor to expand (it could name another
// folder, for example "%num%").
TEST(SelfDeleteScript, PercentInPathsIsDoubled) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\a%num%b\\u_new.exe", L"C:\\a%num%b", L"C:\\T%x\\delKovraUninstall.bat", kPing},
      AnyPath);
  EXPECT_NE(script.find(L"del /Q \"C:\\a%%num%%b\\u_new.exe\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"rd \"C:\\a%%num%%b\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"del \"C:\\T%%x\\delKovraUninstall.bat\" /Q"), std::wstring::npos);
  EXPECT_NE(script.find(L"if %num% GTR 10"), std::wstring::npos);
}

// Catches a foreign folder (uninstaller not in the installation folder) being wiped.
TEST(SelfDeleteScript, ForeignFolderKeepsFolder) {
  const std::wstring script = BuildSelfDeleteScript(
      {L"C:\\Tools\\u_new.exe", L"", L"C:\\T\\delKovraUninstall.bat", kPing}, AnyPath);
  EXPECT_EQ(script.find(L"rd "), std::wstring::npos);
  EXPECT_NE(script.find(L"if exist \"C:\\Tools\\u_new.exe\" goto kovradel\r\n:kovraend\r\n"),
            std::wstring::npos);
}

// Catches a path that would reach the command processor as a look-alike (full-width percent
// signs, separators, quotes) named in a deleting line.
TEST(SelfDeleteScript, UnnameablePathsGetNoDeletingLine) {
  const std::wstring lookalike = L"C:\\Apps\\a\uFF05num\uFF05b\uFF3C..";
  const std::wstring bat = L"C:\\T\\delKovraUninstall.bat";
  EXPECT_EQ(BuildSelfDeleteScript({lookalike + L"\\u_new.exe", lookalike, bat, kPing}, AsciiOnly),
            L":kovraend\r\ndel \"C:\\T\\delKovraUninstall.bat\" /Q");
  const std::wstring keepFolder =
      BuildSelfDeleteScript({L"C:\\K\\u_new.exe", lookalike, bat, kPing}, AsciiOnly);
  EXPECT_NE(keepFolder.find(L"del /Q \"C:\\K\\u_new.exe\""), std::wstring::npos);
  EXPECT_EQ(keepFolder.find(L"rd "), std::wstring::npos);
  const std::wstring keepScript = BuildSelfDeleteScript(
      {L"C:\\K\\u_new.exe", L"C:\\K", L"C:\\\u00C9\\d.bat", kPing}, AsciiOnly);
  const std::wstring tail = L"rd \"C:\\K\"\r\n:kovraend";
  EXPECT_EQ(keepScript.substr(keepScript.size() - tail.size()), tail);
  EXPECT_EQ(
      BuildSelfDeleteScript({lookalike + L"\\u.exe", L"", L"C:\\\u00C9\\d.bat", kPing}, AsciiOnly),
      L"");
}

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

class Recorder : public IUninstallCallBack, public IUninstallSteps {
 public:
  std::vector<std::string> log;
  int OnProcessesClosed() override { return Add("closed"); }
  int OnShortcutsRemoved() override { return Add("shortcuts"); }
  int OnRegistryCleaned() override { return Add("registry"); }
  int OnFilesRemoved() override { return Add("files"); }
  int OnProgress(int32_t percent) override { return Add(std::to_string(percent)); }
  int OnFinished() override { return Add("finished"); }
  void CloseRunningProcesses() override { Add("*processes"); }
  void RemoveShortcuts() override { Add("*shortcuts"); }
  void RemoveRegistryEntries() override { Add("*registry"); }
  void RemoveAppDataFolder() override { Add("*appdata"); }
  void RemoveInstallFolder() override { Add("*install"); }
  void RemoveUpdateTask() override { Add("*task"); }

 private:
  int Add(std::string entry) {
    log.push_back(std::move(entry));
    return 0;
  }
};

// Catches a step at the wrong counter value, a callback out of order or a missing pause.
TEST(Sequence, CallbackAndStepOrder) {
  Recorder r;
  int pauses = 0;
  RunUninstallSequence(&r, r, [&] { ++pauses; });
  std::vector<std::string> expected;
  for (int p = 2; p <= 100; p += 2) {
    expected.push_back(std::to_string(p));
    if (p == 10) expected.insert(expected.end(), {"*processes", "closed"});
    if (p == 30) expected.insert(expected.end(), {"*shortcuts", "shortcuts"});
    if (p == 50) expected.insert(expected.end(), {"*registry", "registry"});
    if (p == 80) expected.insert(expected.end(), {"*appdata", "*install", "files"});
    if (p == 90) expected.push_back("*task");
    if (p == 100) expected.push_back("finished");
  }
  EXPECT_EQ(r.log, expected);
  EXPECT_EQ(pauses, 50);
}

// Catches steps run without anyone to report to.
TEST(Sequence, NullCallbackDoesNothing) {
  Recorder r;
  RunUninstallSequence(nullptr, r, [] {});
  EXPECT_TRUE(r.log.empty());
}

}  // namespace
