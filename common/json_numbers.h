// JSON numbers that a double cannot hold exactly, for the programs that write cJSON: compiled
// against the cJSON each program links (the simulated engine keeps a private copy on Windows).
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include <cjson/cJSON.h>

namespace kv_common {

// A number, or a raw integer literal beyond the exact range of a double (2^53). Caller owns it.
inline cJSON* JsonInt64(int64_t value) {
  constexpr int64_t kExact = int64_t{1} << 53;
  if (value > -kExact && value < kExact) return cJSON_CreateNumber(static_cast<double>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return cJSON_CreateRaw(text);
}

inline cJSON* JsonUInt64(uint64_t value) {
  if (value < (uint64_t{1} << 53)) return cJSON_CreateNumber(static_cast<double>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return cJSON_CreateRaw(text);
}

}  // namespace kv_common
