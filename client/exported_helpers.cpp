// The exported helpers through which the host shares kv_client's allocator and view of the data.
#include <new>

#include "json_items.h"
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

bool cJSON_GetBoolFromJsonArray(cJSON* array, int index) {
  return corvel_client::BoolAt(array, index);
}

double cJSON_GetNumberFromJsonArray(cJSON* array, int index) {
  return corvel_client::NumberAt(array, index);
}

char* cJSON_GetStringFromJsonArray(cJSON* array, int index) {
  return corvel_client::TextAt(array, index);
}

}  // namespace corvel_client_win
