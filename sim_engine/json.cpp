#include "json.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "json_numbers.h"

namespace kv_sim {

Json ParseJson(const std::string& text) { return Json(cJSON_Parse(text.c_str())); }

std::string PrintJson(const cJSON* item) {
  if (item == nullptr) return "null";
  // Owned at once: building the string may throw (tests that fail allocations on purpose).
  const std::unique_ptr<char, decltype(&cJSON_free)> text(cJSON_PrintUnformatted(item), cJSON_free);
  if (text == nullptr) return "null";
  return std::string(text.get());
}

int64_t AsInt64(const cJSON* item, int64_t fallback) {
  if (cJSON_IsNumber(item)) {
    const double value = item->valuedouble;
    if (std::isnan(value)) return fallback;
    if (value >= 9.2233720368547758e18) return INT64_MAX;
    if (value <= -9.2233720368547758e18) return INT64_MIN;
    return static_cast<int64_t>(value);
  }
  if (cJSON_IsRaw(item) || cJSON_IsString(item)) {
    const char* text = item->valuestring;
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end != nullptr && *end == '\0') return value;
  }
  return fallback;
}

int32_t AsInt32(const cJSON* item, int32_t fallback) {
  if (item == nullptr) return fallback;
  const int64_t value = AsInt64(item, fallback);
  // Wrap like a C conversion so that scripts can reach every 32-bit pattern, e.g. 4294967295.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

double AsDouble(const cJSON* item, double fallback) {
  if (cJSON_IsNumber(item)) return item->valuedouble;
  return fallback;
}

bool AsBool(const cJSON* item, bool fallback) {
  if (cJSON_IsTrue(item)) return true;
  if (cJSON_IsFalse(item)) return false;
  if (cJSON_IsNumber(item)) return item->valuedouble != 0;
  return fallback;
}

std::string AsString(const cJSON* item, const std::string& fallback) {
  if (cJSON_IsString(item) && item->valuestring != nullptr) return item->valuestring;
  return fallback;
}

const cJSON* Member(const cJSON* object, const char* key) {
  if (!cJSON_IsObject(object)) return nullptr;
  return cJSON_GetObjectItemCaseSensitive(object, key);
}

const cJSON* Element(const cJSON* array, int index) {
  if (!cJSON_IsArray(array) || index < 0) return nullptr;
  return cJSON_GetArrayItem(array, index);
}

cJSON* MakeInt(int64_t value) { return kv_common::JsonInt64(value); }

cJSON* MakeUInt(uint64_t value) { return kv_common::JsonUInt64(value); }

cJSON* MakeFloat(float value) {
  if (!std::isfinite(value)) return cJSON_CreateNull();
  char text[48];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return cJSON_CreateNumber(std::strtod(text, nullptr));
}

cJSON* MakeDouble(double value) {
  if (!std::isfinite(value)) return cJSON_CreateNull();
  return cJSON_CreateNumber(value);
}

cJSON* MakeBool(bool value) { return cJSON_CreateBool(value ? 1 : 0); }

cJSON* MakeString(const std::string& value) { return cJSON_CreateString(value.c_str()); }

void Put(cJSON* object, const char* key, cJSON* item) { cJSON_AddItemToObject(object, key, item); }

}  // namespace kv_sim
