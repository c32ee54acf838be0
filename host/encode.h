// Pure conversions of the console host: the JSON form of posted argument lists, wide texts as
// UTF-8, base64 byte blocks and the FNV-1a checksum of borrowed bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kv/kv_client.h"

namespace kv_host {

// UTF-8 of a wide text (UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere); invalid units become
// U+FFFD.
std::string WideToUtf8(const wchar_t* text);

// False on characters outside the base64 alphabet (whitespace skipped, padding optional).
bool Base64Decode(const std::string& text, std::vector<uint8_t>& out);

uint32_t Fnv1a(const uint8_t* data, size_t size);

// {"type":..,"value":..} for one item (type 14: "size" and "fnv1a"; unknown types: "size").
// A null item becomes JSON null. The caller owns the result.
cJSON* EncodeItem(const corvel::GenericItem* item);

// Bytes written raw after a line (a frame, an event's long texts).
struct ByteSpan {
  const char* data;
  size_t size;
};

// Texts this long leave an event's line when `texts` is given (kv_host --framed).
constexpr size_t kAttachTextBytes = 4096;

// {"event":name,"items":[...]}; "count" is added when `count` disagrees with the array's own.
// With `texts`, every well-formed text item of kAttachTextBytes or more becomes
// {"type":13,"$text":N} and its bytes are appended to `texts`, in item order; they stay the
// array's.
cJSON* EncodeEvent(const char* name, int count, const corvel::GenericArray* args,
                   std::vector<ByteSpan>* texts = nullptr);

// The first borrowed-bytes item (a video frame) with data and a size of 0 or more, or null.
// The item stays the array's.
const corvel::GenericItem* FirstBorrowedBytes(const corvel::GenericArray* args);

}  // namespace kv_host
