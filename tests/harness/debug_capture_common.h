// The record that both debug captures fill.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace kv_testing::debug_capture {

inline std::mutex g_mutex;
inline std::vector<std::wstring> g_lines;

inline void Record(const wchar_t* text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_lines.emplace_back(text);
}

inline void Clear() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_lines.clear();
}

}  // namespace kv_testing::debug_capture
