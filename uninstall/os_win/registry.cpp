#include "os_win/registry.h"

#include <vector>

#include "core/path_text.h"
#include "os_win/files.h"
#include "os_win/system_function.h"

namespace uninstall {

// A text value read so that it always ends in a terminator (REG_SZ, or REG_EXPAND_SZ expanded);
// empty when it is missing, of another type or longer than 1024 characters.
std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* value, REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS) return {};
  UniqueHKey opened(raw);
  wchar_t text[1024] = {};
  DWORD size = sizeof(text);
  if (::RegGetValueW(opened.get(), nullptr, value, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return text;
}

namespace {

using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);

// Opens `name` below `parent` as the key itself, never the key a link names.
UniqueHKey OpenKeyNoLink(HKEY parent, const std::wstring& name, REGSAM access) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, &raw) != ERROR_SUCCESS) {
    return {};
  }
  return UniqueHKey(raw);
}

bool IsLinkKey(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

constexpr REGSAM kDeleteAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Deletes the open key (opened without following links) and, unless it is a link, its subkeys.
bool DeleteOpenKey(HKEY key) {
  static const auto deleteKey = SystemFunction<NtDeleteKeyFn>(L"ntdll.dll", "NtDeleteKey");
  if (deleteKey == nullptr) return false;
  if (!IsLinkKey(key)) {
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256] = {};
      DWORD chars = 256;
      const LONG r = ::RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
      if (r == ERROR_MORE_DATA) continue;
      if (r != ERROR_SUCCESS) break;
      names.push_back(name);
    }
    for (const std::wstring& name : names) {
      if (UniqueHKey child = OpenKeyNoLink(key, name, kDeleteAccess)) DeleteOpenKey(child.get());
    }
  }
  return deleteKey(key) >= 0;
}

}  // namespace

bool DeleteRegistryTree(HKEY root, const std::wstring& subkey,
                        const std::function<bool(HKEY key)>& mayDelete) {
  // Under HKEY_CLASSES_ROOT every key on the way may come from the user's own classes, which any
  // program the user runs can write: each is opened by itself, and a link among them stops the
  // deletion. Elsewhere the keys on the way are the system's (and WOW64 redirects them), so the
  // parent is opened in one step; the key itself is never followed.
  const bool walk = root == HKEY_CLASSES_ROOT;
  const size_t split = subkey.rfind(L'\\');
  UniqueHKey key;
  HKEY parent = root;
  size_t start = 0;
  if (!walk && split != std::wstring::npos) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, subkey.substr(0, split).c_str(), 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS) {
      return false;
    }
    key.reset(raw);
    parent = key.get();
    start = split + 1;
  }
  while (start <= subkey.size()) {
    size_t end = subkey.find(L'\\', start);
    if (end == std::wstring::npos) end = subkey.size();
    const bool last = end == subkey.size();
    UniqueHKey next =
        OpenKeyNoLink(parent, subkey.substr(start, end - start),
                      last ? kDeleteAccess : KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS);
    if (!next || (!last && IsLinkKey(next.get()))) return false;
    key = std::move(next);
    parent = key.get();
    start = end + 1;
  }
  if (mayDelete && !mayDelete(key.get())) return false;
  return DeleteOpenKey(key.get());
}

std::wstring CommandProgramOf(HKEY key) {
  if (IsLinkKey(key)) return {};
  // RegGetValueW ends the text and expands a REG_EXPAND_SZ command.
  wchar_t text[1024] = {};
  DWORD size = sizeof(text);
  if (::RegGetValueW(key, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return {};
  }
  const std::wstring program = ProgramOfCommand(text);
  return program.empty() ? std::wstring() : FinalPathOf(program);
}

std::wstring InstallLocation(const std::wstring& uninstallKey) {
  // RegGetValueW ends the text even when the stored value has no terminator; a value that does not
  // fit is not read at all rather than cut to another folder's name. The data size is 519 bytes,
  // one short of the buffer: 258 characters and the terminator fit, a 259-character location
  // reads as empty.
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof(value) - 1;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), L"InstallLocation", RRF_RT_REG_SZ,
                     nullptr, value, &size) == ERROR_SUCCESS) {
    return value;
  }
  return {};
}

bool DeleteMachineKeyTree(const std::wstring& subkey) {
  return DeleteRegistryTree(HKEY_LOCAL_MACHINE, subkey);
}

bool DeleteClassesKeyStarting(const std::wstring& commandKey, const std::wstring& program) {
  return DeleteRegistryTree(HKEY_CLASSES_ROOT, commandKey, [&program](HKEY key) {
    return NamesEqualIgnoreCase(CommandProgramOf(key), program);
  });
}

}  // namespace uninstall
