// Small helpers over cJSON for the simulated engine: an owning pointer, typed readers with
// defaults, exact 64-bit integers and shortest float texts, and base64 for byte blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <cjson/cJSON.h>

#include "text_codecs.h"

namespace kv_sim {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};
// Owns a cJSON tree; null is a valid (absent) value.
using Json = std::unique_ptr<cJSON, JsonDeleter>;

// Parses `text`; null when it is not JSON.
Json ParseJson(const std::string& text);

// Compact text of `item` (no trailing newline); "null" for a null item.
std::string PrintJson(const cJSON* item);

// Readers: `item` may be null or of another type, in which case the default is returned.
// Integers accept JSON numbers (truncated) and decimal texts (for 64-bit values beyond 2^53).
int64_t AsInt64(const cJSON* item, int64_t fallback = 0);
int32_t AsInt32(const cJSON* item, int32_t fallback = 0);
double AsDouble(const cJSON* item, double fallback = 0);
bool AsBool(const cJSON* item, bool fallback = false);  // true/false, or a number (non-zero)
std::string AsString(const cJSON* item, const std::string& fallback = "");

// Member `key` of object `object` (case-sensitive); null when absent or `object` is not one.
const cJSON* Member(const cJSON* object, const char* key);
// Element `index` of array `array`; null when absent.
const cJSON* Element(const cJSON* array, int index);

// Writers. Integers beyond the exact range of a double are written as raw integer literals.
cJSON* MakeInt(int64_t value);
cJSON* MakeUInt(uint64_t value);
// A float written with the fewest digits that read back as the same float (0.1f -> 0.1).
cJSON* MakeFloat(float value);
cJSON* MakeDouble(double value);
cJSON* MakeBool(bool value);
cJSON* MakeString(const std::string& value);
// Adds `item` under `key`; ownership passes to `object`.
void Put(cJSON* object, const char* key, cJSON* item);

using kv_common::Base64Decode;
using kv_common::Base64Encode;

}  // namespace kv_sim
