// Pure conversions of the console host: the JSON form of posted argument lists (the text
// encodings themselves are common/text_codecs.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kv/kv_client.h"
#include "text_codecs.h"

namespace kv_host {

using kv_common::Base64Decode;
using kv_common::Fnv1a;
using kv_common::WideToUtf8;

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
// array's. The item `following`, whose bytes the caller writes after the line, carries only its
// "size": its reader has the bytes (hashing a 1920 x 1080 frame cost more than the rest of its
// way through kv_host).
cJSON* EncodeEvent(const char* name, int count, const corvel::GenericArray* args,
                   std::vector<ByteSpan>* texts = nullptr,
                   const corvel::GenericItem* following = nullptr);

// The first borrowed-bytes item (a video frame) with data and a size of 0 or more, or null.
// The item stays the array's.
const corvel::GenericItem* FirstBorrowedBytes(const corvel::GenericArray* args);

}  // namespace kv_host
