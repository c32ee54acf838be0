// Folder removal by handles. A folder is opened once, its entries are opened relative to that
// handle, and each is acted on only after its own handle shows what it is: a name that a program
// swaps for a link between two steps can never lead the deletion out of the folder.
#include "os_win/folder_removal.h"

#include <windows.h>

#include <winternl.h>

#include <string>
#include <vector>

#include "os_win/files.h"
#include "os_win/system_function.h"
#include "os_win/unique_handle.h"

namespace uninstall {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// FILE_DISPOSITION_INFO_EX, which older headers lack.
struct DispositionEx {
  ULONG flags;
};
constexpr ULONG kDispositionDelete = 0x1, kDispositionPosix = 0x2,
                kDispositionIgnoreReadOnly = 0x10;

using NtCreateFileFn = decltype(&::NtCreateFile);

// Looked up at run time: the program imports no ntdll functions by name.
NtCreateFileFn NtCreate() {
  static const auto fn = SystemFunction<NtCreateFileFn>(L"ntdll.dll", "NtCreateFile");
  return fn;
}

// Opens the entry `name` of the folder `parent` itself, never what a link names. `options` adds
// FILE_DIRECTORY_FILE or FILE_NON_DIRECTORY_FILE.
UniqueFileHandle OpenEntry(HANDLE parent, const std::wstring& name, ACCESS_MASK access,
                           ULONG options) {
  const NtCreateFileFn create = NtCreate();
  if (create == nullptr || name.empty() || name.size() > 255) return {};
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = text.MaximumLength = USHORT(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io = {};
  HANDLE handle = INVALID_HANDLE_VALUE;
  const NTSTATUS status =
      create(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN,
             options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                 FILE_SYNCHRONOUS_IO_NONALERT,
             nullptr, 0);
  return status >= 0 ? UniqueFileHandle(handle) : UniqueFileHandle();
}

// Deletes the open file or folder: with POSIX semantics where the system has them (the name goes
// at once, even while a scanner still holds the file, so its folder can go too), otherwise when
// its last handle closes.
bool Dispose(HANDLE handle) {
  DispositionEx ex = {kDispositionDelete | kDispositionPosix};
  if (::SetFileInformationByHandle(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &ex,
                                   sizeof(ex))) {  // FileDispositionInfoEx
    return true;
  }
  FILE_DISPOSITION_INFO info = {TRUE};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof(info)) != FALSE;
}

// Deletes the name `handle` was opened by. A read-only file of one name is made writable first;
// a read-only file with other names is removed only where the system can drop the name without
// touching the attribute the names share.
bool DeleteName(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
  const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!readOnly || link) return Dispose(handle);
  if (info.nNumberOfLinks > 1) {
    DispositionEx ex = {kDispositionDelete | kDispositionPosix | kDispositionIgnoreReadOnly};
    return ::SetFileInformationByHandle(handle, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &ex,
                                        sizeof(ex)) != FALSE;  // FileDispositionInfoEx
  }
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes = info.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic))) return false;
  if (Dispose(handle)) return true;
  basic.FileAttributes = info.dwFileAttributes;
  ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));
  return false;
}

// The names in the open folder `folder`, listed through its handle, not by a path.
std::vector<std::wstring> NamesIn(HANDLE folder) {
  std::vector<std::wstring> names;
  std::vector<LONGLONG> buffer(8192);  // 64 KiB, aligned for the records
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                        DWORD(buffer.size() * sizeof(LONGLONG)))) {
    kind = FileIdBothDirectoryInfo;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
      const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(name);
      if (entry->NextEntryOffset == 0) break;
      bytes += entry->NextEntryOffset;
    }
  }
  return names;
}

class Remover {
 public:
  Remover(const RemovalScope& scope) : scope_(scope) {}

  // Removes the entries of the open folder `folder` (final path `path`); with `named`, only the
  // plain files of the scope's names.
  void Empty(HANDLE folder, const std::wstring& path, bool named) {
    for (const std::wstring& name : named ? scope_.onlyNames : NamesIn(folder)) {
      Remove(folder, path, name, named);
    }
  }

  bool registered() const { return registered_; }

 private:
  void Remove(HANDLE folder, const std::wstring& folderPath, const std::wstring& name, bool named) {
    const std::wstring path = folderPath + L"\\" + name;
    if (!scope_.keep.empty() && NamesEqualIgnoreCase(path, scope_.keep)) return;
    // One open serves to look and to delete. Where a share mode refuses it (a locked file), an
    // open for attributes only, which nothing refuses, still shows what the name is.
    UniqueFileHandle entry =
        OpenEntry(folder, name,
                  DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0);
    const bool usable = static_cast<bool>(entry);
    if (!usable) entry = OpenEntry(folder, name, FILE_READ_ATTRIBUTES, 0);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!entry || !::GetFileInformationByHandle(entry.get(), &info)) return;
    // A name that leads elsewhere without showing as a link (Wine shows no file links) is left.
    if (!NamesEqualIgnoreCase(FinalPathOfHandle(entry.get()), path)) return;
    const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (named && (link || directory)) return;
    if (directory && !link) {
      if (!usable) return;
      Empty(entry.get(), path, false);
      Dispose(entry.get());  // refused while something is left in it
      return;
    }
    if (!usable) return;  // held without delete sharing: not known to be ours, left alone
    if (DeleteName(entry.get(), info)) return;
    // In use (a running program): a plain file of one name is moved out of reach into the private
    // folder and waits for the restart there; its old path, which others may change, is never
    // registered.
    if (link || info.nNumberOfLinks != 1) return;
    if (parked_.empty() && scope_.parking) parked_ = scope_.parking();
    if (parked_.empty()) return;
    const std::wstring target = parked_ + L"\\" + std::to_wstring(++moved_) + L"-" + name;
    if (MoveOpenFile(entry.get(), target) &&
        ::MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      registered_ = true;
    }
  }

  const RemovalScope& scope_;
  std::wstring parked_;  // the private folder, made on the first file that needs it
  int moved_ = 0;
  bool registered_ = false;
};

bool HoldsFileNamed(HANDLE folder, const std::vector<std::wstring>& names, int depth) {
  for (const std::wstring& name : NamesIn(folder)) {
    UniqueFileHandle entry = OpenEntry(folder, name, FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY, 0);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!entry || !::GetFileInformationByHandle(entry.get(), &info)) continue;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Deeper than any installation lies: taken as holding one, which only keeps the folder.
      if (depth > 32 || HoldsFileNamed(entry.get(), names, depth + 1)) return true;
      continue;
    }
    for (const std::wstring& wanted : names) {
      if (NamesEqualIgnoreCase(name, wanted)) return true;
    }
  }
  return false;
}

}  // namespace

FolderRemoval RemoveFolder(const std::wstring& path, const RemovalScope& scope) {
  FolderRemoval result;
  if (path.size() <= 3) return result;
  UniqueFileHandle root(::CreateFileW(
      path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!root || !::GetFileInformationByHandle(root.get(), &info)) return result;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return result;
  }
  const std::wstring final = FinalPathOfHandle(root.get());
  if (final.empty()) return result;
  if (!scope.expectedFinalPath.empty() && !NamesEqualIgnoreCase(final, scope.expectedFinalPath)) {
    return result;
  }
  Remover remover(scope);
  remover.Empty(root.get(), final, !scope.onlyNames.empty());
  Dispose(root.get());
  root.reset();
  result.registered = remover.registered();
  result.removed = ::GetFileAttributesW(final.c_str()) == INVALID_FILE_ATTRIBUTES;
  return result;
}

bool DeleteFolderTree(const std::wstring& path) { return RemoveFolder(path, {}).removed; }

bool TreeHoldsFileNamed(const std::wstring& finalPath, const std::vector<std::wstring>& names) {
  UniqueFileHandle root(::CreateFileW(
      finalPath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // A folder that cannot be looked into is taken as holding one: it is kept.
  return !root || HoldsFileNamed(root.get(), names, 0);
}

}  // namespace uninstall
