// Byte and text encodings shared by the bridge, the console host and the simulated engine: wide
// texts as UTF-8, base64 byte blocks and the FNV-1a checksum of bytes. Plain data in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv_common {

// UTF-8 of `length` wide characters (UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere).
// Unpaired surrogates and invalid code points become U+FFFD.
std::string WideToUtf8(const wchar_t* text, size_t length);
inline std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8(text.data(), text.size());
}
// A terminated text; null gives an empty result.
std::string WideToUtf8(const wchar_t* text);

std::string Base64Encode(const uint8_t* data, size_t size);
// False on characters outside the base64 alphabet (whitespace is skipped; padding optional).
bool Base64Decode(const std::string& text, std::vector<uint8_t>& out);

uint32_t Fnv1a(const uint8_t* data, size_t size);

}  // namespace kv_common
