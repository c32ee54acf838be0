// The Windows seam's removal steps on the test prefix's own C: drive.
#include <windows.h>

#include <gtest/gtest.h>
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <taskschd.h>

#include <algorithm>
#include <string>

#include "core/edition.h"
#include "core/path_text.h"
#include "core/self_delete_script.h"
#include "os_win/files.h"
#include "os_win/folder_removal.h"
#include "os_win/guarded_folders.h"
#include "os_win/processes.h"
#include "os_win/system_function.h"
#include "os_win/task_scheduler.h"
#include "os_win/unique_com.h"
#include "os_win/unique_handle.h"
#include "os_win/version.h"
#include "tests/win_test_support.h"

namespace {

using namespace uninstall;
using namespace uninstall_testing;

constexpr wchar_t kPing[] = L"C:\\windows\\system32\\PING.EXE";

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
  UniqueFileHandle lock(::CreateFileW((root + L"\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(lock.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFolderTree(root));
  EXPECT_FALSE(Exists(root + L"\\free.txt"));
  EXPECT_TRUE(Exists(root + L"\\locked.txt"));
  lock.reset();
  EXPECT_TRUE(DeleteFolderTree(root));
}

bool ReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Catches a second name of a person's file that changes the file when it is deleted (its shared
// read-only bit cleared), a read-only file of ours left behind, and names that only exact final
// paths reach (CON, aux) left or registered under another name.
TEST(DeleteFolderTree, OtherNamesOfAFileAndNamesWin32ReadsDifferently) {
  const std::wstring root = MakeTempFolder(L"kv_names");
  const std::wstring person = MakeTempFolder(L"kv_person") + L"\\contract.pdf";
  WriteFile(person);
  ASSERT_TRUE(::CreateHardLinkW((root + L"\\contract.pdf").c_str(), person.c_str(), nullptr));
  ASSERT_TRUE(::SetFileAttributesW(person.c_str(), FILE_ATTRIBUTE_READONLY));
  WriteFile(root + L"\\ours.dll");
  ASSERT_TRUE(::SetFileAttributesW((root + L"\\ours.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  const std::wstring exact = L"\\\\?\\" + root;
  for (const wchar_t* name : {L"\\CON", L"\\aux"}) WriteFile(exact + name);
  DeleteFolderTree(root);
  EXPECT_TRUE(ReadOnly(person));
  EXPECT_FALSE(Exists(root + L"\\ours.dll"));
  for (const wchar_t* name : {L"\\CON", L"\\aux"}) EXPECT_FALSE(Exists(exact + name));
  ::SetFileAttributesW(person.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFolderTree(FolderOf(person));
  DeleteFolderTree(root);
}

// Catches the relaunch copy written through a name that is not ours (a person's file, or a second
// name of one), and a leftover copy of this very program not replaced.
TEST(WriteCopyOfSelf, ReplacesOnlyItsOwnLeftover) {
  const std::wstring root = MakeTempFolder(L"kv_copy");
  const std::wstring copy = root + L"\\u_new.exe";
  const std::wstring module = ModulePath();
  EXPECT_TRUE(WriteCopyOfSelf(module, copy));
  EXPECT_TRUE(WriteCopyOfSelf(module, copy));  // its own leftover
  ASSERT_TRUE(::DeleteFileW(copy.c_str()));
  const std::wstring person = root + L"\\thesis.docx";
  WriteFile(person);
  for (bool hardLink : {false, true}) {
    if (hardLink) {
      ASSERT_TRUE(::CreateHardLinkW(copy.c_str(), person.c_str(), nullptr));
    } else {
      WriteFile(copy);
    }
    EXPECT_FALSE(WriteCopyOfSelf(module, copy));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(::GetFileAttributesExW(person.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 1u);
    ASSERT_TRUE(::DeleteFileW(copy.c_str()));
  }
  DeleteFolderTree(root);
}

// Catches the script's folder made in a user's folder, or an existing folder taken over.
TEST(ScriptFolder, NewAndOnlyForAdministrators) {
  const std::wstring folder = MakeScriptFolder();
  ASSERT_FALSE(folder.empty());
  wchar_t windows[MAX_PATH] = {};
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_TRUE(EqualsIgnoreCase(FolderOf(folder), std::wstring(windows) + L"\\Temp"));
  EXPECT_NE(MakeScriptFolder(), folder);
  // The access list itself cannot be checked here: Wine maps access lists to Unix modes.
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
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

// A stand-in client started from `path`, returned once its module list can be read (a process
// whose loader has not finished could not be matched yet).
UniqueHandle StartClient(const std::wstring& path) {
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return UniqueHandle();
  }
  UniqueHandle thread(info.hThread);
  for (int i = 0; i < 250; ++i) {
    wchar_t name[MAX_PATH] = {};
    if (::GetModuleFileNameExW(info.hProcess, nullptr, name, MAX_PATH) > 0) break;
    ::Sleep(20);
  }
  return UniqueHandle(info.hProcess);
}

bool Running(const UniqueHandle& process) {
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// Catches a process left running although a module of it matches (in other letter case, or a
// second instance), and a process ended that only shares the file name, or for a path that names
// no folder.
TEST(TerminateProcessByPath, EndsEveryMatchAndNothingElse) {
  const std::wstring client = FolderOf(ModulePath()) + L"\\kv_dummy_client.exe";
  ASSERT_TRUE(Exists(client)) << "kv_dummy_client.exe belongs beside the test program";
  const std::wstring root = MakeTempFolder(L"kv_procs");
  const std::wstring installed = root + L"\\install\\KovraPravik.exe";
  const std::wstring elsewhere = root + L"\\elsewhere\\KovraPravik.exe";
  for (const std::wstring& path : {installed, elsewhere}) {
    ::CreateDirectoryW(FolderOf(path).c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(client.c_str(), path.c_str(), FALSE));
  }
  UniqueHandle first = StartClient(installed);
  UniqueHandle second = StartClient(installed);
  UniqueHandle other = StartClient(elsewhere);
  ScopeExit cleanup([&] {  // also after a failure: no client outlives the test
    for (const UniqueHandle* process : {&first, &second, &other}) {
      if (*process) {
        ::TerminateProcess(process->get(), 1);
        ::WaitForSingleObject(process->get(), 5000);
      }
    }
    DeleteFolderTree(root);
  });
  ASSERT_TRUE(first && second && other);

  // Targets are final paths: a bare name or another spelling of the path matches nothing.
  const std::wstring target = FinalPathOf(installed);
  ASSERT_FALSE(target.empty());
  EXPECT_TRUE(TerminateProcessByPath(L"\\KovraPravik.exe"));
  EXPECT_TRUE(TerminateProcessByPath(FolderOf(target) + L"\\\\KovraPravik.exe"));
  EXPECT_TRUE(Running(first) && Running(second) && Running(other));

  std::wstring upper = target;
  ::CharUpperBuffW(upper.data(), DWORD(upper.size()));
  EXPECT_TRUE(TerminateProcessByPath(upper));
  for (const UniqueHandle* ended : {&first, &second}) {
    EXPECT_EQ(::WaitForSingleObject(ended->get(), 5000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(ended->get(), &code);
    EXPECT_EQ(code, 0u);
  }
  EXPECT_TRUE(Running(other));
}

// The root task folder of the Task Scheduler, used to make tasks and to look for them
// independently of the code under test.
class RootTaskFolder {
 public:
  RootTaskFolder() {
    if (FAILED(::CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(ITaskService), service_.put_void()))) {
      return;
    }
    const UniqueVariant empty;
    const UniqueBstr root(L"\\");
    if (SUCCEEDED(service_->Connect(empty.get(), empty.get(), empty.get(), empty.get()))) {
      service_->GetFolder(root.get(), folder_.put());
    }
  }
  bool ok() const { return static_cast<bool>(folder_); }

  // Registers a task that would start cmd.exe.
  bool Register(const wchar_t* name) {
    const UniqueBstr task(name);
    const UniqueBstr xml(
        L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
        L"<Actions><Exec><Command>cmd.exe</Command></Exec></Actions></Task>");
    const UniqueVariant empty;
    UniqueCom<IRegisteredTask> registered;
    return SUCCEEDED(folder_->RegisterTask(task.get(), xml.get(), TASK_CREATE_OR_UPDATE,
                                           empty.get(), empty.get(), TASK_LOGON_INTERACTIVE_TOKEN,
                                           empty.get(), registered.put()));
  }
  bool Exists(const wchar_t* name) {
    const UniqueBstr task(name);
    UniqueCom<IRegisteredTask> registered;
    return SUCCEEDED(folder_->GetTask(task.get(), registered.put()));
  }
  void Delete(const wchar_t* name) {
    const UniqueBstr task(name);
    folder_->DeleteTask(task.get(), 0);
  }

 private:
  ComApartment com_;  // first member: initialised before, uninitialised after the objects below
  UniqueCom<ITaskService> service_;
  UniqueCom<ITaskFolder> folder_;
};

// Catches a deletion that reports success without deleting, deletes the wrong task, or reports a
// missing task as deleted.
TEST(ScheduledTask, DeletesTheNamedTaskAndReportsAMissingOne) {
  RootTaskFolder tasks;
  ASSERT_TRUE(tasks.ok());
  ASSERT_TRUE(tasks.Register(L"KovraUpdateTaskMachine"));
  ASSERT_TRUE(tasks.Register(L"KovraOtherTask"));
  // Wine admits CoInitializeSecurity more than once per process, so both calls reach DeleteTask.
  EXPECT_FALSE(DeleteScheduledTask(L"KovraTaskThatDoesNotExist"));
  EXPECT_TRUE(DeleteScheduledTask(L"KovraUpdateTaskMachine"));
  EXPECT_FALSE(tasks.Exists(L"KovraUpdateTaskMachine"));
  EXPECT_TRUE(tasks.Exists(L"KovraOtherTask"));
  tasks.Delete(L"KovraOtherTask");
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

// Catches a script cut at a fixed buffer, or sized by characters where the code page needs two
// bytes for a Chinese one. The double-byte half runs where the system code page is 936 (the
// test's cp936 run, which sets KV_EXPECT_ACP so that a missing Chinese locale fails it).
TEST(ScriptText, AnsiConversionIsNeverCut) {
  const std::wstring script = BuildSelfDeleteScript(
      L"C:\\" + std::wstring(500, L'p') + L"\\uninstall_new.exe",
      L"C:\\" + std::wstring(500, L't') + L"\\delKovraUninstall.bat", kPing, true);
  ASSERT_GT(script.size(), 1819u);
  const std::string ansi = ToAnsi(script);
  EXPECT_EQ(ansi.size(), script.size());  // ASCII text: one byte per character
  EXPECT_EQ(ansi.substr(ansi.size() - 3), " /Q");

  if (::GetEnvironmentVariableW(L"KV_EXPECT_ACP", nullptr, 0) != 0) {
    ASSERT_EQ(::GetACP(), 936u) << "the Chinese locale is missing";
  }
  if (::GetACP() != 936) return;
  const std::wstring chinese =
      BuildSelfDeleteScript(L"C:\\课堂" + std::wstring(300, L'卸') + L"\\uninstall_new.exe",
                            L"C:\\临时\\删除.bat", kPing, true);
  const size_t doubled =
      std::count_if(chinese.begin(), chinese.end(), [](wchar_t c) { return c > 0x7F; });
  ASSERT_GT(doubled, 600u);
  const std::string bytes = ToAnsi(chinese);
  EXPECT_EQ(bytes.size(), chinese.size() + doubled);
  std::wstring back(chinese.size(), L'\0');
  EXPECT_EQ(
      ::MultiByteToWideChar(936, 0, bytes.data(), int(bytes.size()), back.data(), int(back.size())),
      int(chinese.size()));
  EXPECT_EQ(back, chinese);
}

// Catches the understated answer of the version call kept: this program has no compatibility
// manifest, so on Windows 10 the version call reports 6.2 and only RtlGetVersion gives 10.0.
// Wine reports Windows 7 unless told otherwise; scripts/test sets Windows 10 for this program.
TEST(OsVersion, TakesTheTrueVersionAboveWindows7) {
  OSVERSIONINFOW shimmed = {};
  shimmed.dwOSVersionInfoSize = sizeof(shimmed);
  ASSERT_TRUE(::GetVersionExW(&shimmed));
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto rtl = SystemFunction<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
  ASSERT_NE(rtl, nullptr);
  OSVERSIONINFOW exact = {};
  exact.dwOSVersionInfoSize = sizeof(exact);
  ASSERT_EQ(rtl(&exact), 0);
  ASSERT_NE(shimmed.dwMajorVersion * 100 + shimmed.dwMinorVersion,
            exact.dwMajorVersion * 100 + exact.dwMinorVersion)
      << "the prefix reports a version the override would not change; set it to Windows 10";

  OSVERSIONINFOW v = {};
  EXPECT_TRUE(GetOsVersion(&v));
  EXPECT_EQ(v.dwMajorVersion, exact.dwMajorVersion);
  EXPECT_EQ(v.dwMinorVersion, exact.dwMinorVersion);
  EXPECT_EQ(v.dwBuildNumber, exact.dwBuildNumber);
  EXPECT_EQ(v.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
}

}  // namespace
