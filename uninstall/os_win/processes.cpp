#include "os_win/processes.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "core/path_text.h"
#include "os_win/files.h"
#include "os_win/system_function.h"

namespace uninstall {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

// The whole content of the file `file` (open for reading); empty on failure or above 64 MiB.
bool ReadAll(HANDLE file, std::string* bytes) {
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart > (64 << 20)) return false;
  bytes->assign(size_t(size.QuadPart), '\0');
  LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  DWORD read = 0;
  return bytes->empty() || (::ReadFile(file, bytes->data(), DWORD(bytes->size()), &read, nullptr) &&
                            read == bytes->size());
}

// True when the open file `file` is a plain file of one name, reached by exactly `path` (no
// link on the way), holding exactly `bytes`.
bool IsPlainCopyOf(HANDLE file, const std::wstring& path, const std::string& bytes) {
  BY_HANDLE_FILE_INFORMATION info = {};
  std::string content;
  return ::GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         info.nNumberOfLinks == 1 &&
         NamesEqualIgnoreCase(FinalPathOfHandle(file),
                              FinalPathOf(FolderOf(path)) + path.substr(path.rfind(L'\\'))) &&
         ReadAll(file, &content) && content == bytes;
}

}  // namespace

std::wstring ModulePath() {
  wchar_t buf[kPathChars] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, buf, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  return buf;
}

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  static const auto fn = SystemFunction<IsWow64ProcessFn>(L"kernel32", "IsWow64Process");
  BOOL wow64 = FALSE;
  return fn != nullptr && fn(::GetCurrentProcess(), &wow64) && wow64;
}

bool TerminateProcessByPath(const std::wstring& finalPath) {
  const std::wstring fileName = finalPath.substr(finalPath.rfind(L'\\') + 1);
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    UniqueHandle terminate(::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (!terminate) continue;
    UniqueHandle query(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID));
    if (!query) continue;
    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    if (!::EnumProcessModules(query.get(), modules.data(), DWORD(modules.size() * sizeof(HMODULE)),
                              &needed)) {
      continue;
    }
    const size_t count = std::min<size_t>(needed / sizeof(HMODULE), modules.size());
    for (size_t i = 0; i < count; ++i) {
      wchar_t name[kPathChars] = {};
      if (::GetModuleFileNameExW(query.get(), modules[i], name, kPathChars) == 0) continue;
      // Only a module of the same file name is resolved: one open per candidate, not per module.
      const std::wstring path = name;
      const std::wstring base = path.substr(path.rfind(L'\\') + 1);
      if (!NamesEqualIgnoreCase(base, fileName) ||
          !NamesEqualIgnoreCase(FinalPathOf(path), finalPath)) {
        continue;
      }
      query.reset();
      if (!::TerminateProcess(terminate.get(), 0)) ::TerminateProcess(terminate.get(), 0);
      break;
    }
  }
  return true;
}

bool RunProgram(const std::wstring& path) {
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), 0);
  return true;
}

UniqueFileHandle WriteCopyOfSelf(const std::wstring& module, const std::wstring& copy) {
  std::string program;
  {
    UniqueFileHandle self(::CreateFileW(module.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (!self || !ReadAll(self.get(), &program) || program.empty()) return {};
  }
  // A name already there goes only when it is a copy of this very program (a run's leftover).
  UniqueFileHandle old(::CreateFileW(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (old) {
    if (!IsPlainCopyOf(old.get(), copy, program)) return {};
    FILE_DISPOSITION_INFO gone = {TRUE};
    if (!::SetFileInformationByHandle(old.get(), FileDispositionInfo, &gone, sizeof(gone))) {
      return {};
    }
    old.reset();
  } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return {};  // there, but not to be opened: not ours to replace
  }
  if (!WriteNewFile(copy, program)) return {};
  // Read back and held against writers and renames until the copy runs: what starts is what was
  // written, even in a folder that others can write to.
  UniqueFileHandle held(::CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!held || !IsPlainCopyOf(held.get(), copy, program)) return {};
  return held;
}

std::wstring SystemProgram(const wchar_t* name) {
  wchar_t folder[kPathChars] = {};
  const UINT n = ::GetSystemDirectoryW(folder, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  return std::wstring(folder) + L"\\" + name;
}

UniqueHandle CreateFreshMutex(const wchar_t* name) {
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
  if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) mutex.reset();
  return mutex;
}

uint32_t TickCount() { return ::GetTickCount(); }

void Pause(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace uninstall
