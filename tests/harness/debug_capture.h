// Debug output as a debugger sees it, for tests: natively through the library's debug sink, on
// Windows through the exception that OutputDebugString raises for an attached debugger. One
// capture at a time; it records from every thread.
#pragma once

#include <string>
#include <vector>

namespace kv_testing {

class DebugCapture {
 public:
  DebugCapture();   // starts recording, with nothing recorded
  ~DebugCapture();  // stops
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  std::vector<std::wstring> Lines() const;

 private:
  void* handle_ = nullptr;  // the Windows exception handler
};

}  // namespace kv_testing
