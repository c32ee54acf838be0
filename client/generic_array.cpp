#include "generic_array.h"

#include <cstdlib>
#include <cstring>

namespace corvel {
namespace {

constexpr int32_t kInitialCapacity = 8;

bool IsOwnedType(int32_t type) { return type >= 0 && type <= 25 && type != kGenericBorrowed; }

void ReleaseItem(GenericItem* item) {
  if (item->data != nullptr && IsOwnedType(item->type)) {
    if (item->type == kGenericPointArray) {
      auto** elements = static_cast<void**>(item->data);
      const int16_t count = static_cast<int16_t>(static_cast<uint32_t>(item->size) >> 16);
      for (int16_t i = 0; i < count; ++i) std::free(elements[i]);
    }
    std::free(item->data);
  }
  std::free(item);
}

}  // namespace

GenericArray* NewGenericArray() {
  auto* array = static_cast<GenericArray*>(std::malloc(sizeof(GenericArray)));
  if (array == nullptr) return nullptr;
  array->items = static_cast<GenericItem**>(std::malloc(sizeof(GenericItem*) * kInitialCapacity));
  if (array->items == nullptr) {
    std::free(array);
    return nullptr;
  }
  array->count = 0;
  array->capacity = kInitialCapacity;
  return array;
}

bool AppendGenericItem(void* data, int32_t type, int32_t size, GenericArray* array) {
  if (array == nullptr) return false;
  // Growth normally keeps a free slot; a failed earlier growth can leave none, and then the item
  // is dropped rather than written past the slots.
  if (array->count >= array->capacity) return false;
  auto* item = static_cast<GenericItem*>(std::malloc(sizeof(GenericItem)));
  if (item == nullptr) return false;
  item->data = data;
  item->type = type;
  item->size = size;
  array->items[array->count++] = item;
  if (static_cast<int64_t>(array->count) * 4 > static_cast<int64_t>(array->capacity) * 3) {
    const int32_t grown = array->capacity * 2;
    void* slots = std::realloc(array->items, sizeof(GenericItem*) * static_cast<size_t>(grown));
    if (slots != nullptr) {
      array->items = static_cast<GenericItem**>(slots);
      array->capacity = grown;
    }
  }
  return true;
}

void ReleaseGenericArray(GenericArray* array) {
  if (array == nullptr) return;
  for (int32_t i = 0; i < array->count; ++i) ReleaseItem(array->items[i]);
  std::free(array->items);
  std::free(array);
}

}  // namespace corvel

namespace corvel_client {
namespace {

template <typename T>
bool AppendCopy(corvel::GenericArray* array, const T& value, int32_t type) {
  if (array == nullptr) return false;
  void* data = std::malloc(sizeof(T));
  if (data == nullptr) return false;
  std::memcpy(data, &value, sizeof(T));
  if (!corvel::AppendGenericItem(data, type, 0, array)) {
    std::free(data);
    return false;
  }
  return true;
}

}  // namespace

bool AppendBool(corvel::GenericArray* array, bool value) {
  return AppendCopy<uint8_t>(array, value ? 1 : 0, corvel::kGenericBool);
}

bool AppendInt32(corvel::GenericArray* array, int32_t value) {
  return AppendCopy(array, value, corvel::kGenericInt32);
}

bool AppendInt64(corvel::GenericArray* array, int64_t value) {
  return AppendCopy(array, value, corvel::kGenericInt64);
}

bool AppendDouble(corvel::GenericArray* array, double value) {
  return AppendCopy(array, value, corvel::kGenericDouble);
}

bool AppendText(corvel::GenericArray* array, const char* text, size_t length) {
  if (array == nullptr) return false;
  if (text == nullptr) length = 0;
  // The host reads a terminated text whose size is its length plus one; an engine text with an
  // embedded terminator is cut there so that both agree.
  if (const void* end = length != 0 ? std::memchr(text, '\0', length) : nullptr) {
    length = static_cast<size_t>(static_cast<const char*>(end) - text);
  }
  if (length >= 0x7FFFFFFFu) return false;  // the size field is 32-bit signed
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return false;
  if (length != 0) std::memcpy(copy, text, length);
  copy[length] = '\0';
  if (!corvel::AppendGenericItem(copy, corvel::kGenericText, static_cast<int32_t>(length + 1),
                                 array)) {
    std::free(copy);
    return false;
  }
  return true;
}

bool AppendText(corvel::GenericArray* array, const char* text) {
  return AppendText(array, text, text == nullptr ? 0 : std::strlen(text));
}

bool AppendBorrowed(corvel::GenericArray* array, const void* data, int32_t size) {
  return corvel::AppendGenericItem(const_cast<void*>(data), corvel::kGenericBorrowed, size, array);
}

bool AppendDoubleArray(corvel::GenericArray* array, const double* values, int32_t count) {
  if (array == nullptr || count < 0) return false;
  const size_t bytes = sizeof(double) * static_cast<size_t>(count);
  auto* copy = static_cast<double*>(std::malloc(bytes == 0 ? 1 : bytes));
  if (copy == nullptr) return false;
  if (bytes != 0) std::memcpy(copy, values, bytes);
  if (!corvel::AppendGenericItem(copy, corvel::kGenericDoubleArray, count, array)) {
    std::free(copy);
    return false;
  }
  return true;
}

}  // namespace corvel_client
