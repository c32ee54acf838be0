// Reading a record's cJSON items on the command path. Inline, because every command reads its name
// and arguments through them and a call into the library costs more than these few loads.
#pragma once

#include "kv/kv_client.h"

namespace corvel_client {

// cJSON keeps an item's kind in the low byte of `type` (flags such as cJSON_IsReference above it).
inline bool IsKind(const cJSON* item, int kind) {
  return item != nullptr && (item->type & 0xFF) == kind;
}

// The item at `index`, or null for a null array, a negative index or an index past the end.
inline cJSON* ItemAt(const cJSON* array, int index) {
  if (array == nullptr || index < 0) return nullptr;
  cJSON* item = array->child;
  for (; item != nullptr && index > 0; --index) item = item->next;
  return item;
}

// Typed readers by position: a missing item or one of another kind reads as false, 0 or null.
inline bool BoolAt(const cJSON* array, int index) { return IsKind(ItemAt(array, index), cJSON_True); }
inline double NumberAt(const cJSON* array, int index) {
  const cJSON* item = ItemAt(array, index);
  return IsKind(item, cJSON_Number) ? item->valuedouble : 0.0;
}
inline char* TextAt(const cJSON* array, int index) {
  const cJSON* item = ItemAt(array, index);
  return IsKind(item, cJSON_String) ? item->valuestring : nullptr;
}

// Number of items of an array (0 for null), without a library call.
inline int ItemCount(const cJSON* array) {
  int count = 0;
  if (array != nullptr) {
    for (const cJSON* item = array->child; item != nullptr; item = item->next) ++count;
  }
  return count;
}

// The command name of a record, or null when its name is not a string item.
inline const char* CommandName(const corvel_client_win::MessageFromCpp& message) {
  return IsKind(message.name, cJSON_String) ? message.name->valuestring : nullptr;
}

}  // namespace corvel_client
