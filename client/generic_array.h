// Building the typed argument lists that kv_client posts to the host (GenericArray, kv_client.h).
// Everything is allocated with malloc so that ReleaseGenericArray can free it; allocation failures
// drop the item (or the whole array) silently, as the scripts expect events to be best effort.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kv/kv_client.h"

namespace corvel {

// A new empty array with 8 slots, or null when it cannot be allocated.
GenericArray* NewGenericArray();

// Appends an item that takes over `data` (or borrows it, for type 14 and codes above 25).
// Returns false and leaves `data` with the caller when the item cannot be added.
bool AppendGenericItem(void* data, int32_t type, int32_t size, GenericArray* array);

// Packs the size field of a type-25 item: element count in the upper 16 bits, values per element
// in the lower 16 bits.
constexpr int32_t PackPointArraySize(int32_t count, int32_t valuesPerElement) {
  return static_cast<int32_t>((static_cast<uint32_t>(count) << 16) |
                              (static_cast<uint32_t>(valuesPerElement) & 0xFFFFu));
}

}  // namespace corvel

namespace corvel_client {

// Typed appenders: each copies its value into a new buffer. On failure nothing is appended and
// nothing leaks. All return whether the item was added.
bool AppendBool(corvel::GenericArray* array, bool value);
bool AppendInt32(corvel::GenericArray* array, int32_t value);
bool AppendInt64(corvel::GenericArray* array, int64_t value);
bool AppendDouble(corvel::GenericArray* array, double value);
// Copies `length` bytes of text and a terminator (size = length + 1); a text with an embedded
// terminator is copied up to it.
bool AppendText(corvel::GenericArray* array, const char* text, size_t length);
bool AppendText(corvel::GenericArray* array, const char* text);
// Borrows `data`; the array never frees it.
bool AppendBorrowed(corvel::GenericArray* array, const void* data, int32_t size);
// Copies `count` doubles into one owned block (type 24).
bool AppendDoubleArray(corvel::GenericArray* array, const double* values, int32_t count);

// Owns a GenericArray until it is handed to the host; frees it otherwise.
class ScopedGenericArray {
 public:
  ScopedGenericArray() : array_(corvel::NewGenericArray()) {}
  ~ScopedGenericArray() { corvel::ReleaseGenericArray(array_); }
  ScopedGenericArray(const ScopedGenericArray&) = delete;
  ScopedGenericArray& operator=(const ScopedGenericArray&) = delete;

  corvel::GenericArray* get() const { return array_; }
  explicit operator bool() const { return array_ != nullptr; }
  // Gives the array up (to the host).
  corvel::GenericArray* release() {
    corvel::GenericArray* array = array_;
    array_ = nullptr;
    return array;
  }

 private:
  corvel::GenericArray* array_;
};

}  // namespace corvel_client
