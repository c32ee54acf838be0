// The exported helpers through which the host shares kv_client's allocator and view of the data.
#include <new>

#include "kv/kv_client.h"

namespace corvel {

void JSON_InitHooks() { cJSON_InitHooks(nullptr); }

char* LargeMemoryMalloc(int size) {
  if (size < 0) throw std::bad_alloc();
  return new char[static_cast<size_t>(size)];
}

void LargeMemoryRelease(char* block) { delete[] block; }

}  // namespace corvel

namespace corvel_client_win {
namespace {

// The item at `index`, or null for a null array, a negative index or an index past the end. The
// child list is walked here rather than through cJSON_GetArrayItem: every command reads its
// arguments this way, and the library call costs more than the walk over a few items.
cJSON* ItemAt(const cJSON* array, int index) {
  if (array == nullptr || index < 0) return nullptr;
  cJSON* item = array->child;
  for (; item != nullptr && index > 0; --index) item = item->next;
  return item;
}

// cJSON keeps an item's kind in the low byte of `type` (flags such as cJSON_IsReference above it).
bool IsKind(const cJSON* item, int kind) { return item != nullptr && (item->type & 0xFF) == kind; }

}  // namespace

bool cJSON_GetBoolFromJsonArray(cJSON* array, int index) {
  return IsKind(ItemAt(array, index), cJSON_True);
}

double cJSON_GetNumberFromJsonArray(cJSON* array, int index) {
  cJSON* item = ItemAt(array, index);
  return IsKind(item, cJSON_Number) ? item->valuedouble : 0.0;
}

char* cJSON_GetStringFromJsonArray(cJSON* array, int index) {
  cJSON* item = ItemAt(array, index);
  return IsKind(item, cJSON_String) ? item->valuestring : nullptr;
}

}  // namespace corvel_client_win
