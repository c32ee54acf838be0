#include "text_codecs.h"

#include <array>
#include <cwchar>

namespace kv_common {
namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string WideToUtf8(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = static_cast<uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2) {
      code &= 0xFFFF;
      if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length) {
        const uint32_t low = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    AppendUtf8(out, code);
  }
  return out;
}

std::string WideToUtf8(const wchar_t* text) {
  if (text == nullptr) return std::string();
  return WideToUtf8(text, std::wcslen(text));
}

std::string Base64Encode(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    const uint32_t b0 = data[i];
    const uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
    const uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
    const uint32_t word = (b0 << 16) | (b1 << 8) | b2;
    out += kAlphabet[(word >> 18) & 63];
    out += kAlphabet[(word >> 12) & 63];
    out += i + 1 < size ? kAlphabet[(word >> 6) & 63] : '=';
    out += i + 2 < size ? kAlphabet[word & 63] : '=';
  }
  return out;
}

bool Base64Decode(const std::string& text, std::vector<uint8_t>& out) {
  // Sextet of each byte; 64 marks whitespace (skipped), 65 padding, 255 anything else.
  static const auto kSextets = [] {
    std::array<uint8_t, 256> table{};
    table.fill(255);
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = i;
    for (const char c : {' ', '\n', '\r', '\t'}) table[static_cast<uint8_t>(c)] = 64;
    table['='] = 65;
    return table;
  }();
  out.clear();
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t word = 0;
  int bits = 0;
  bool padding = false;
  for (const char c : text) {
    const uint8_t sextet = kSextets[static_cast<uint8_t>(c)];
    if (sextet == 64) continue;
    if (sextet == 65) {
      padding = true;
      continue;
    }
    if (sextet == 255 || padding) return false;
    word = (word << 6) | sextet;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>((word >> bits) & 0xFF));
    }
  }
  return true;
}

uint32_t Fnv1a(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace kv_common
