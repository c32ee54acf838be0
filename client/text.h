// Text conversions that do not depend on the system's code pages.
#pragma once

#include <string>

namespace corvel_client {

// UTF-8 of a wide text (UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere). Unpaired surrogates
// and invalid code points become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

}  // namespace corvel_client
