#include "os_win/files.h"

#include <objbase.h>
#include <sddl.h>

#include <vector>

#include "core/path_guard.h"
#include "core/path_text.h"
#include "os_win/processes.h"

namespace uninstall {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

}  // namespace

bool NamesEqualIgnoreCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(),
                                                        int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FinalPathOf(const std::wstring& path, bool* isDirectory) {
  if (isDirectory != nullptr) *isDirectory = false;
  if (path.empty()) return {};
  UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return {};
  std::wstring out = FinalPathOfHandle(file.get());
  if (!out.empty() && isDirectory != nullptr) {
    *isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  return out;
}

bool MoveOpenFile(HANDLE handle, const std::wstring& target) {
  std::wstring nt = target;
  if (nt.compare(0, 4, L"\\\\?\\") == 0) {
    nt.replace(0, 4, L"\\??\\");
  } else {
    nt.insert(0, L"\\??\\");  // a plain "X:\..." path
  }
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nt.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = DWORD(nt.size() * sizeof(wchar_t));
  nt.copy(rename->FileName, nt.size());
  return ::SetFileInformationByHandle(handle, FileRenameInfo, rename, DWORD(buffer.size())) !=
         FALSE;
}

std::wstring FinalPathOfHandle(HANDLE handle) {
  std::wstring out(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = ::GetFinalPathNameByHandleW(handle, out.data(), DWORD(out.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.assign(n + 1, L'\0');  // n is the size needed (Wine leaves the terminator out)
  }
  return {};
}

bool WriteNewFile(const std::wstring& path, const std::string& bytes) {
  // CREATE_NEW never opens what is there: no link and no second name of another file is written.
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool whole = bytes.empty() || (::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()),
                                                   &written, nullptr) &&
                                       written == bytes.size());
  if (!whole) {
    FILE_DISPOSITION_INFO gone = {TRUE};  // a partial file must not stay, let alone run
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof(gone));
  }
  return whole;
}

std::wstring MakeScriptFolder(const std::wstring& onVolumeOf) {
  wchar_t windows[kPathChars] = {};
  const UINT n = ::GetSystemWindowsDirectoryW(windows, kPathChars);
  if (n == 0 || n >= kPathChars) return {};
  // On the Windows volume in its Temp folder; on another volume at its root, so that files there
  // can be moved in by renaming (ordinary users may add folders to a root, not remove ours).
  std::wstring base = std::wstring(windows) + L"\\Temp";
  const std::wstring drive = PlainDrivePath(onVolumeOf).substr(0, 2);
  if (!onVolumeOf.empty()) {
    if (drive.size() != 2 || drive[1] != L':') return {};
    if (!NamesEqualIgnoreCase(drive, base.substr(0, 2))) base = drive;
  }
  // Owned by the administrators, inheritance cut: nobody else may write, rename or re-permit it.
  // Where the owner cannot be set (not elevated), the same list with the default owner.
  for (const wchar_t* sddl : {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)"}) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &raw,
                                                                nullptr)) {
      continue;
    }
    UniqueLocal descriptor(raw);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    for (int attempt = 0; attempt < 3; ++attempt) {
      GUID id = {};
      wchar_t text[40] = {};
      if (FAILED(::CoCreateGuid(&id)) || ::StringFromGUID2(id, text, 40) == 0) return {};
      const std::wstring folder = base + L"\\KovraUninstall-" + text;
      // A folder that exists is never taken: only one this call made is known to be private.
      if (::CreateDirectoryW(folder.c_str(), &attributes)) return folder;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
  }
  return {};
}

bool MovePlainFile(const std::wstring& path, const std::wstring& target) {
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  return file && ::GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         MoveOpenFile(file.get(), target);
}

void DeleteFileAt(const std::wstring& path) { ::DeleteFileW(path.c_str()); }

void RemoveEmptyFolder(const std::wstring& path) { ::RemoveDirectoryW(path.c_str()); }

void RemoveAtRestart(const std::wstring& path) {
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const UINT codePage = ::GetACP();
  // UTF-7 and UTF-8 take neither flag; the round trip below proves them exact.
  const bool unicode = codePage == CP_UTF7 || codePage == CP_UTF8;
  const DWORD flags = unicode ? 0 : WC_NO_BEST_FIT_CHARS;
  const int bytes = ::WideCharToMultiByte(CP_ACP, flags, text.c_str(), int(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string converted(static_cast<size_t>(bytes), '\0');
  BOOL usedDefault = FALSE;
  if (::WideCharToMultiByte(CP_ACP, flags, text.c_str(), int(text.size()), converted.data(), bytes,
                            nullptr, unicode ? nullptr : &usedDefault) != bytes ||
      usedDefault) {
    return {};
  }
  // A look-alike or substitute that slipped through shows as a difference on the way back.
  const int chars =
      ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.data(), bytes, nullptr, 0);
  if (chars != int(text.size())) return {};
  std::wstring back(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.data(), bytes, back.data(), chars);
  if (back != text) return {};
  return converted;
}

bool IsNameableInScript(const std::wstring& path) {
  // With delayed expansion switched on for the user, "!" would be expanded inside quotes too.
  if (path.find(L'!') != std::wstring::npos) return false;
  const std::string bytes = ToAnsi(path);
  if (bytes.empty()) return false;
  if (::GetACP() == ::GetOEMCP()) return true;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool RunScript(const std::wstring& script, const std::wstring& folder) {
  const std::wstring shell = SystemProgram(L"cmd.exe");
  const std::wstring system = FolderOf(shell);
  if (shell.empty() || script.empty() || folder.empty()) return false;
  // /D: no AutoRun commands; /V:OFF: "!" stays literal; "call" returns here for the folder.
  std::wstring commandLine =
      L"\"" + shell + L"\" /D /V:OFF /C \"call \"" + script + L"\" & rd \"" + folder + L"\"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, system.c_str(), &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  return true;
}

}  // namespace uninstall
