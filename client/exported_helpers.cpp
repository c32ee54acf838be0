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

// The item at `index`, or null for a null array, a negative index or an index past the end.
cJSON* ItemAt(cJSON* array, int index) {
  if (array == nullptr || index < 0) return nullptr;
  return cJSON_GetArrayItem(array, index);
}

}  // namespace

bool cJSON_GetBoolFromJsonArray(cJSON* array, int index) {
  return cJSON_IsTrue(ItemAt(array, index)) != 0;
}

double cJSON_GetNumberFromJsonArray(cJSON* array, int index) {
  cJSON* item = ItemAt(array, index);
  return cJSON_IsNumber(item) ? item->valuedouble : 0.0;
}

char* cJSON_GetStringFromJsonArray(cJSON* array, int index) {
  cJSON* item = ItemAt(array, index);
  return cJSON_IsString(item) ? item->valuestring : nullptr;
}

}  // namespace corvel_client_win
