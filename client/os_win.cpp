#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <ctime>

#include "os.h"

namespace corvel_client::os {

void DebugOutput(const wchar_t* text) { OutputDebugStringW(text); }

uint32_t TickCount() { return GetTickCount(); }

int64_t Time64() { return static_cast<int64_t>(_time64(nullptr)); }

std::wstring AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  return path;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolder(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool ShellOpen(const std::wstring& file, const wchar_t* parameters, const wchar_t* directory) {
  constexpr int kShowDefault = 10;  // SW_SHOWDEFAULT
  const HINSTANCE done =
      ShellExecuteW(nullptr, L"open", file.c_str(), parameters, directory, kShowDefault);
  // ShellExecuteW reports success as a value greater than 32.
  return reinterpret_cast<INT_PTR>(done) > 32;
}

std::wstring LocaleToWide(const char* text) {
  if (text == nullptr || *text == '\0') return std::wstring();
  const int length = static_cast<int>(std::strlen(text));
  const int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, length, &wide[0], needed);
  return wide;
}

}  // namespace corvel_client::os
