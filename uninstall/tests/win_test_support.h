// Fixtures of the uninstaller's Windows tests on the test prefix's own C: drive.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "os_win/unique_handle.h"

namespace uninstall_testing {

// A folder of the temporary folder (made when missing).
inline std::wstring MakeTempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + name;
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

inline void WriteFile(const std::wstring& path) {
  const uninstall::UniqueFileHandle f(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(f.get(), INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(f.get(), "x", 1, &written, nullptr);
}

inline bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace uninstall_testing
