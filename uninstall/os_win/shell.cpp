#include "os_win/shell.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "core/edition.h"
#include "os_win/system_function.h"
#include "os_win/unique_com.h"

namespace uninstall {
namespace {

constexpr DWORD kPathChars = MAX_PATH;

std::wstring SpecialFolder(int csidl, bool create) {
  wchar_t buf[kPathChars] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buf, csidl, create ? TRUE : FALSE)) return {};
  return buf;
}

void DeleteFileIfPresent(const std::wstring& path) {
  if (::PathFileExistsW(path.c_str())) ::DeleteFileW(path.c_str());
}

}  // namespace

std::wstring FolderPath(int csidl) {
  wchar_t buf[kPathChars] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
  return buf;
}

std::wstring KnownFolder(const GUID& id) {
  using GetKnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
  static const auto get =
      SystemFunction<GetKnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath");
  if (get == nullptr) return {};
  PWSTR raw = nullptr;
  const HRESULT result = get(id, 0, nullptr, &raw);
  const UniqueCoTaskText path(raw);
  return SUCCEEDED(result) && path ? std::wstring(path.get()) : std::wstring();
}

std::wstring UserDataFolder(const wchar_t* name) {
  // Not created when missing: the user's own setting says where it would be.
  wchar_t folder[kPathChars] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE) || folder[0] == 0)
    return {};
  if (!::PathAppendW(folder, name)) return {};
  return folder;
}

void RemoveShortcutSet(const wchar_t* shortcutName, const wchar_t* uninstallShortcutName) {
  if (shortcutName == nullptr) return;
  const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY, false);
  if (!desktop.empty()) DeleteFileIfPresent(ShortcutPath(desktop, shortcutName));
  wchar_t maker[kPathChars] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, maker, CSIDL_PROGRAMS, FALSE)) return;
  if (!::PathAppendW(maker, L"Kovra")) return;
  wchar_t product[kPathChars] = {};
  wcscpy(product, maker);
  if (!::PathAppendW(product, shortcutName)) return;
  DeleteFileIfPresent(ShortcutPath(product, shortcutName));
  if (uninstallShortcutName != nullptr) {
    DeleteFileIfPresent(ShortcutPath(product, uninstallShortcutName));
  }
  // RemoveDirectoryW only succeeds on empty folders: other products' folders keep the maker's.
  if (::PathFileExistsW(product)) ::RemoveDirectoryW(product);
  if (::PathFileExistsW(maker)) ::RemoveDirectoryW(maker);
}

}  // namespace uninstall
