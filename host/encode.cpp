#include "encode.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "json_numbers.h"

namespace kv_host {

namespace {

cJSON* DoubleJson(double value) {
  // JSON has no NaN or infinity; say so rather than print something unparsable.
  if (value != value) return cJSON_CreateString("NaN");
  if (value > 1.7976931348623157e308) return cJSON_CreateString("Infinity");
  if (value < -1.7976931348623157e308) return cJSON_CreateString("-Infinity");
  return cJSON_CreateNumber(value);
}

}  // namespace

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
      cJSON_AddItemToObject(out, "value", kv_common::JsonInt64(value));
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

namespace {

// The text of a text item whose terminator is its last byte, or {nullptr, 0}.
ByteSpan WholeText(const corvel::GenericItem* item) {
  if (item == nullptr || item->type != corvel::kGenericText || item->data == nullptr ||
      item->size <= 0) {
    return {nullptr, 0};
  }
  const char* text = static_cast<const char*>(item->data);
  const size_t limit = static_cast<size_t>(item->size);
  const void* end = std::memchr(text, '\0', limit);
  if (end != text + limit - 1) return {nullptr, 0};
  return {text, limit - 1};
}

}  // namespace

cJSON* EncodeEvent(const char* name, int count, const corvel::GenericArray* args,
                   std::vector<ByteSpan>* texts, const corvel::GenericItem* following) {
  cJSON* out = cJSON_CreateObject();
  cJSON_AddItemToObject(out, "event", name ? cJSON_CreateString(name) : cJSON_CreateNull());
  cJSON* items = cJSON_AddArrayToObject(out, "items");
  const int32_t own = args != nullptr ? args->count : 0;
  for (int32_t i = 0; args != nullptr && args->items != nullptr && i < own; ++i) {
    const ByteSpan text = texts != nullptr ? WholeText(args->items[i]) : ByteSpan{nullptr, 0};
    if (text.data != nullptr && text.size >= kAttachTextBytes) {
      cJSON* item = cJSON_CreateObject();
      cJSON_AddNumberToObject(item, "type", corvel::kGenericText);
      cJSON_AddNumberToObject(item, "$text", static_cast<double>(text.size));
      cJSON_AddItemToArray(items, item);
      texts->push_back(text);
      continue;
    }
    if (following != nullptr && args->items[i] == following) {
      cJSON* item = cJSON_CreateObject();
      cJSON_AddNumberToObject(item, "type", following->type);
      cJSON_AddNumberToObject(item, "size", following->size);
      cJSON_AddItemToArray(items, item);
      continue;
    }
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
