// Reads the fuzzer's input as a stream of small values, front to back. Past the end every read
// gives zeros, so any byte string is a valid input. make_corpus.py writes the same encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kv_fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Done() const { return pos_ >= size_; }

  uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() {
    const uint64_t low = U32();
    return static_cast<int64_t>(low | (static_cast<uint64_t>(U32()) << 32));
  }
  double F64() {
    const uint64_t bits = static_cast<uint64_t>(I64());
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  bool Bool() { return (U8() & 1) != 0; }
  // A value below `bound` (bound > 0).
  uint32_t Below(uint32_t bound) { return bound == 0 ? 0 : U32() % bound; }
  uint32_t Pick(uint32_t bound) { return bound == 0 ? 0 : U8() % bound; }

  // `length` bytes (fewer at the end of the input).
  std::string Bytes(size_t length) {
    const size_t take = pos_ < size_ ? std::min(length, size_ - pos_) : 0;
    std::string out(reinterpret_cast<const char*>(data_ + pos_), take);
    pos_ += take;
    return out;
  }
  // A text with a one-byte length.
  std::string ShortText() { return Bytes(U8()); }
  // A text with a two-byte length.
  std::string Text() { return Bytes(U16()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace kv_fuzz
