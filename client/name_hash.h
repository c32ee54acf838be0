// Hashing and comparing command names and prefixes for the delegate registry and the method
// lookup. Every command is looked up twice (its prefix, then its method), so both are built for a
// short dependency chain rather than for generality.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace corvel_client {

// Reads only the length and the first and last bytes, each through its own multiplication so the
// three run side by side. That tells apart the registered prefixes and all but a few methods of a
// table; a lookup then compares the whole name, so a collision costs a probe, never a wrong match.
inline uint32_t NameHash(std::string_view name) {
  if (name.empty()) return 0;
  const uint32_t mixed = (static_cast<uint32_t>(name.size()) * 0x9E3779B1u) ^
                         (static_cast<unsigned char>(name.front()) * 0x85EBCA77u) ^
                         (static_cast<unsigned char>(name.back()) * 0xC2B2AE3Du);
  return mixed >> 16;
}

// Byte equality of two names of `size` bytes. Up to 16 bytes (every prefix and most methods) it
// compares two overlapping words inline instead of calling memcmp.
inline bool SameBytes(const char* a, const char* b, size_t size) {
  const auto word = [](const char* p, size_t at, auto zero) {
    decltype(zero) value;
    std::memcpy(&value, p + at, sizeof(value));
    return value;
  };
  if (size >= 8 && size <= 16) {
    return word(a, 0, uint64_t{}) == word(b, 0, uint64_t{}) &&
           word(a, size - 8, uint64_t{}) == word(b, size - 8, uint64_t{});
  }
  if (size >= 4 && size < 8) {
    return word(a, 0, uint32_t{}) == word(b, 0, uint32_t{}) &&
           word(a, size - 4, uint32_t{}) == word(b, size - 4, uint32_t{});
  }
  return std::memcmp(a, b, size) == 0;
}

}  // namespace corvel_client
