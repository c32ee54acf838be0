#include "debug_capture.h"

#include "debug_capture_common.h"
#include "kv/kv_client.h"

namespace kv_testing {

DebugCapture::DebugCapture() {
  debug_capture::Clear();
  kv_set_debug_sink(&debug_capture::Record);
}

DebugCapture::~DebugCapture() { kv_set_debug_sink(nullptr); }

std::vector<std::wstring> DebugCapture::Lines() const {
  std::lock_guard<std::mutex> lock(debug_capture::g_mutex);
  return debug_capture::g_lines;
}

}  // namespace kv_testing
