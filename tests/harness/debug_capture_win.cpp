#include "debug_capture.h"

#include <windows.h>

#include <cstring>

#include "debug_capture_common.h"

namespace kv_testing {

namespace {

// Takes the text and ends the search, as a debugger that consumed it would.
LONG CALLBACK CatchDebugString(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  constexpr DWORD kWideDebugString = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C
  if (record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  if (record.ExceptionCode == kWideDebugString) {
    debug_capture::Record(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
    const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    debug_capture::Record(std::wstring(text, text + std::strlen(text)).c_str());
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugCapture::DebugCapture() {
  debug_capture::Clear();
  handle_ = AddVectoredExceptionHandler(1, &CatchDebugString);
}

DebugCapture::~DebugCapture() { RemoveVectoredExceptionHandler(handle_); }

std::vector<std::wstring> DebugCapture::Lines() const {
  std::lock_guard<std::mutex> lock(debug_capture::g_mutex);
  return debug_capture::g_lines;
}

}  // namespace kv_testing
