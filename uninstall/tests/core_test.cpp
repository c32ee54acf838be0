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
}

// Catches a doubled separator in the pattern or a cut of the wrong part of the path.
TEST(PathRules, FindPatternFolderAndComparison) {
  EXPECT_EQ(FindPattern(L"C:\\K"), L"C:\\K\\*.*");
  EXPECT_EQ(FindPattern(L"C:\\K\\"), L"C:\\K\\*.*");
  EXPECT_EQ(FolderOf(L"C:\\K\\u_new.exe"), L"C:\\K");
  EXPECT_EQ(FolderOf(L"u.exe"), L"");
  EXPECT_TRUE(SameFolder(L"C:\\Program Files\\K", L"c:\\program files\\k\\"));
  EXPECT_FALSE(SameFolder(L"C:\\K", L"C:\\K\\\\"));
  EXPECT_FALSE(SameFolder(L"", L""));
  EXPECT_FALSE(SameFolder(L"C:\\K", L"C:\\K2"));
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

// Catches any change of the script's eleven lines, its CR LF ends or a line end after the last.
TEST(SelfDeleteScript, ElevenLinesByteForByte) {
  const std::wstring script =
      BuildSelfDeleteScript(L"C:\\Program Files\\Kovra\\uninstall_new.exe",
                            L"C:\\users\\u\\Temp\\delKovraUninstall.bat", true);
  const std::wstring expected =
      L"set num=0\r\n"
      L":kovradel\r\n"
      L"set /a num+=1\r\n"
      L"if %num% GTR 10 goto kovraend\r\n"
      L"ping 127.0.0.1\r\n"
      L"del /Q \"C:\\Program Files\\Kovra\\uninstall_new.exe\"\r\n"
      L"if exist \"C:\\Program Files\\Kovra\\uninstall_new.exe\" goto kovradel\r\n"
      L"del /F /S /Q \"C:\\Program Files\\Kovra\\*.*\" \r\n"
      L"rd /S /Q \"C:\\Program Files\\Kovra\"\r\n"
      L":kovraend\r\n"
      L"del \"C:\\users\\u\\Temp\\delKovraUninstall.bat\" /Q";
  EXPECT_EQ(script, expected);
}

// Catches a '%' in a path left for the command processor to expand (it could name another
// folder, for example "%num%").
TEST(SelfDeleteScript, PercentInPathsIsDoubled) {
  const std::wstring script =
      BuildSelfDeleteScript(L"C:\\a%num%b\\u_new.exe", L"C:\\T%x\\delKovraUninstall.bat", true);
  EXPECT_NE(script.find(L"del /Q \"C:\\a%%num%%b\\u_new.exe\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"rd /S /Q \"C:\\a%%num%%b\"\r\n"), std::wstring::npos);
  EXPECT_NE(script.find(L"del \"C:\\T%%x\\delKovraUninstall.bat\" /Q"), std::wstring::npos);
  EXPECT_NE(script.find(L"if %num% GTR 10"), std::wstring::npos);
}

// Catches a foreign folder (uninstaller not in the installation folder) being wiped.
TEST(SelfDeleteScript, ForeignFolderKeepsFolder) {
  const std::wstring script =
      BuildSelfDeleteScript(L"C:\\Tools\\u_new.exe", L"C:\\T\\delKovraUninstall.bat", false);
  EXPECT_EQ(script.find(L"rd "), std::wstring::npos);
  EXPECT_EQ(script.find(L"del /F"), std::wstring::npos);
  EXPECT_NE(script.find(L"if exist \"C:\\Tools\\u_new.exe\" goto kovradel\r\n:kovraend\r\n"),
            std::wstring::npos);
}

ProtectedFolders Machine() {
  ProtectedFolders p;
  p.folders = {L"C:\\windows",
               L"C:\\windows\\system32",
               L"C:\\Program Files",
               L"C:\\Program Files (x86)",
               L"C:\\ProgramData",
               L"C:\\users\\bob",
               L"C:\\users\\bob\\Desktop",
               L"C:\\users\\bob\\Documents",
               L"C:\\users\\bob\\Downloads",
               L"C:\\users\\bob\\AppData",
               L"C:\\users\\bob\\AppData\\Roaming",
               L"C:\\users\\bob\\AppData\\Local",
               L""};
  p.usersRoot = L"C:\\users";
  return p;
}

// Catches a spelling of a root or system folder that slips past the guard.
TEST(PathGuard, RefusesRootsAndSystemFoldersInAnySpelling) {
  const ProtectedFolders m = Machine();
  for (const wchar_t* root : {L"C:\\", L"c:/", L"C:\\\\", L"D:\\.", L"C:\\ "}) {
    SCOPED_TRACE(testing::Message() << std::string(root, root + wcslen(root)));
    const GuardVerdict v = CheckInstallFolder(root, m);
    EXPECT_TRUE(v == GuardVerdict::kDriveRoot || v == GuardVerdict::kBadComponent);
  }
  for (const wchar_t* dir :
       {L"C:\\Windows", L"c:\\WINDOWS\\", L"C:/windows/System32", L"C:\\Windows.",
        L"C:\\Program Files", L"C:\\program files (x86)\\", L"C:\\ProgramData",
        L"C:\\users\\bob\\appdata\\roaming", L"C:\\Users\\Bob\\Downloads", L"C:\\Users"}) {
    EXPECT_EQ(CheckInstallFolder(dir, m), GuardVerdict::kProtected);
  }
  EXPECT_EQ(CheckInstallFolder(L"C:\\Users\\alice", m), GuardVerdict::kProfileRoot);
  EXPECT_EQ(CheckInstallFolder(L"C:\\Users\\Public\\", m), GuardVerdict::kProfileRoot);
}

// Catches relative, drive-relative, network, device and dot-dot paths treated as local folders.
TEST(PathGuard, RefusesNonLocalOrIndirectPaths) {
  const ProtectedFolders m = Machine();
  for (const wchar_t* dir :
       {L"Kovra\\KovraPravik", L"\\Kovra", L"C:Kovra", L"\\\\server\\share",
        L"\\\\server\\share\\Kovra", L"\\\\?\\C:\\Kovra", L"\\\\.\\C:\\Kovra", L""}) {
    EXPECT_EQ(CheckInstallFolder(dir, m), GuardVerdict::kNotLocalAbsolute);
  }
  EXPECT_EQ(CheckInstallFolder(L"C:\\Kovra\\..\\Windows", m), GuardVerdict::kBadComponent);
  EXPECT_EQ(CheckInstallFolder(L"C:\\Kovra\\.", m), GuardVerdict::kBadComponent);
  EXPECT_EQ(CheckInstallFolder(L"C:\\Kovra:stream", m), GuardVerdict::kBadComponent);
}

// Catches an ordinary installation folder refused (the uninstall would then leave it behind).
TEST(PathGuard, AllowsOrdinaryInstallFolders) {
  const ProtectedFolders m = Machine();
  for (const wchar_t* dir :
       {L"C:\\Program Files\\Kovra\\KovraPravik", L"C:\\Program Files (x86)\\Kovra", L"D:\\Kovra",
        L"C:\\users\\bob\\AppData\\Local\\Kovra\\", L"C:\\a%num%b",
        L"C:\\Users\\bob\\Documents\\Kovra", L"C:\\Windows2"}) {
    EXPECT_EQ(CheckInstallFolder(dir, m), GuardVerdict::kAllowed);
  }
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
