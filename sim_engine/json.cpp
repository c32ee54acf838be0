#include "json.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

cJSON* MakeInt(int64_t value) {
  constexpr int64_t kExact = int64_t{1} << 53;
  if (value > -kExact && value < kExact) return cJSON_CreateNumber(static_cast<double>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return cJSON_CreateRaw(text);
}

cJSON* MakeUInt(uint64_t value) {
  if (value < (uint64_t{1} << 53)) return cJSON_CreateNumber(static_cast<double>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  return cJSON_CreateRaw(text);
}

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

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
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
  out.clear();
  uint32_t word = 0;
  int bits = 0;
  bool padding = false;
  for (const char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    if (c == '=') {
      padding = true;
      continue;
    }
    const char* found = std::strchr(kAlphabet, c);
    if (c == '\0' || found == nullptr || padding) return false;
    word = (word << 6) | static_cast<uint32_t>(found - kAlphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>((word >> bits) & 0xFF));
    }
  }
  return true;
}

}  // namespace kv_sim
