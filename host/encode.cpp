#include "encode.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace kv_host {

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

cJSON* Int64Json(int64_t value) {
  constexpr int64_t kExact = int64_t{1} << 53;
  if (value > -kExact && value < kExact) return cJSON_CreateNumber(static_cast<double>(value));
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return cJSON_CreateRaw(text);
}

cJSON* DoubleJson(double value) {
  // JSON has no NaN or infinity; say so rather than print something unparsable.
  if (value != value) return cJSON_CreateString("NaN");
  if (value > 1.7976931348623157e308) return cJSON_CreateString("Infinity");
  if (value < -1.7976931348623157e308) return cJSON_CreateString("-Infinity");
  return cJSON_CreateNumber(value);
}

}  // namespace

std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const wchar_t* p = text; *p != 0; ++p) {
    uint32_t c = static_cast<uint32_t>(*p);
    if (sizeof(wchar_t) == 2) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
        ++p;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool Base64Decode(const std::string& text, std::vector<uint8_t>& out) {
  // Sextet of each byte; 64 marks whitespace (skipped), 65 padding, 255 anything else.
  static const auto kSextets = [] {
    std::array<uint8_t, 256> table{};
    table.fill(255);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(alphabet[i])] = i;
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

cJSON* EncodeItem(const corvel::GenericItem* item) {
  if (item == nullptr) return cJSON_CreateNull();
  cJSON* out = cJSON_CreateObject();
  cJSON_AddNumberToObject(out, "type", item->type);
  const void* data = item->data;
  if (data == nullptr && item->type != corvel::kGenericBorrowed) {
    cJSON_AddNullToObject(out, "value");
    cJSON_AddNumberToObject(out, "size", item->size);
    return out;
  }
  switch (item->type) {
    case corvel::kGenericBool:
      cJSON_AddBoolToObject(out, "value", *static_cast<const uint8_t*>(data) != 0);
      break;
    case corvel::kGenericInt32: {
      int32_t value = 0;
      std::memcpy(&value, data, sizeof value);
      cJSON_AddNumberToObject(out, "value", value);
      break;
    }
    case corvel::kGenericInt64: {
      int64_t value = 0;
      std::memcpy(&value, data, sizeof value);
      cJSON_AddItemToObject(out, "value", Int64Json(value));
      break;
    }
    case corvel::kGenericDouble: {
      double value = 0;
      std::memcpy(&value, data, sizeof value);
      cJSON_AddItemToObject(out, "value", DoubleJson(value));
      break;
    }
    case corvel::kGenericText: {
      // size counts the terminator; never read past it, even when the text lacks one.
      const size_t limit = item->size > 0 ? static_cast<size_t>(item->size) : 0;
      const char* text = static_cast<const char*>(data);
      const void* end = std::memchr(text, '\0', limit);
      const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - text) : limit;
      cJSON_AddItemToObject(out, "value", cJSON_CreateString(std::string(text, length).c_str()));
      if (end == nullptr || length + 1 != limit) cJSON_AddNumberToObject(out, "size", item->size);
      break;
    }
    case corvel::kGenericBorrowed: {
      cJSON_AddNumberToObject(out, "size", item->size);
      if (data != nullptr && item->size >= 0) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08" PRIx32,
                      Fnv1a(static_cast<const uint8_t*>(data), static_cast<size_t>(item->size)));
        cJSON_AddStringToObject(out, "fnv1a", hex);
      } else {
        cJSON_AddNullToObject(out, "fnv1a");
      }
      break;
    }
    case corvel::kGenericDoubleArray: {
      cJSON* values = cJSON_AddArrayToObject(out, "value");
      const double* doubles = static_cast<const double*>(data);
      for (int32_t i = 0; i < item->size; ++i) cJSON_AddItemToArray(values, DoubleJson(doubles[i]));
      break;
    }
    case corvel::kGenericPointArray: {
      const int32_t count = static_cast<int32_t>(static_cast<uint32_t>(item->size) >> 16);
      const int32_t width = item->size & 0xFFFF;
      cJSON* values = cJSON_AddArrayToObject(out, "value");
      const double* const* records = static_cast<const double* const*>(data);
      for (int32_t i = 0; i < count; ++i) {
        cJSON* record = cJSON_CreateArray();
        for (int32_t k = 0; records[i] != nullptr && k < width; ++k) {
          cJSON_AddItemToArray(record, DoubleJson(records[i][k]));
        }
        cJSON_AddItemToArray(values, record);
      }
      if (width != 3) cJSON_AddNumberToObject(out, "size", item->size);
      break;
    }
    default:
      cJSON_AddNumberToObject(out, "size", item->size);
      break;
  }
  return out;
}

cJSON* EncodeEvent(const char* name, int count, const corvel::GenericArray* args) {
  cJSON* out = cJSON_CreateObject();
  cJSON_AddItemToObject(out, "event", name ? cJSON_CreateString(name) : cJSON_CreateNull());
  cJSON* items = cJSON_AddArrayToObject(out, "items");
  const int32_t own = args != nullptr ? args->count : 0;
  for (int32_t i = 0; args != nullptr && args->items != nullptr && i < own; ++i) {
    cJSON_AddItemToArray(items, EncodeItem(args->items[i]));
  }
  if (count != own) cJSON_AddNumberToObject(out, "count", count);
  return out;
}

const corvel::GenericItem* FirstBorrowedBytes(const corvel::GenericArray* args) {
  if (args == nullptr || args->items == nullptr) return nullptr;
  for (int32_t i = 0; i < args->count; ++i) {
    const corvel::GenericItem* item = args->items[i];
    if (item != nullptr && item->type == corvel::kGenericBorrowed && item->data != nullptr &&
        item->size >= 0) {
      return item;
    }
  }
  return nullptr;
}

}  // namespace kv_host
