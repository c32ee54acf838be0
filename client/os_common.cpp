#include <cstdarg>
#include <cwchar>
#include <vector>

#include "os.h"

namespace corvel_client::os {

void DebugPrint(const wchar_t* format, ...) {
  constexpr size_t kLimit = 1024;  // the debug buffer, terminator included
  std::vector<wchar_t> buffer(kLimit);
  for (;;) {
    va_list args;
    va_start(args, format);
    const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (written >= 0) break;
    // vswprintf reports overflow without saying how much is needed; grow until the text fits,
    // then cut it to the debug buffer's size below. Give up on absurd sizes (a bad format).
    if (buffer.size() >= (1u << 20)) {
      buffer[0] = L'\0';
      break;
    }
    buffer.resize(buffer.size() * 4);
  }
  buffer[kLimit - 1] = L'\0';
  DebugOutput(buffer.data());
}

}  // namespace corvel_client::os
