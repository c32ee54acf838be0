// Generated test pictures: deterministic, recognisable, and cheap to recompute in a test.
//   planar (I420):  Y(x, y) = (x + y + frame) mod 256
//                   U(i, j) = (64 + i + frame) mod 256,  V(i, j) = (192 + j + frame) mod 256
//   packed bytes:   byte k = (k + frame) mod 251
// Each planar row is followed by `pad` bytes of 0xEE that a correct reader skips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text_codecs.h"

namespace kv_sim {

struct PlanarFrame {
  std::vector<uint8_t> y, u, v;
  int32_t yStride = 0, uStride = 0, vStride = 0;
};

// The bytes of the three planes MakePlanarFrame makes for positive sizes (luma stride width + pad,
// chroma stride (width + 1) / 2 + pad), computed without overflow for every input; -1 when they
// would exceed `limit` (at most kMaxPlanarBytes) or a size is 0 or less.
constexpr int64_t kMaxPlanarBytes = int64_t{1} << 30;
int64_t PlanarFrameBytes(int32_t width, int32_t height, int32_t pad, int64_t limit);

// Planes for a width x height picture (chroma (width/2) x (height/2), rounded up so that any
// reader of the integer-divided sizes stays inside). Sizes of 0 or less give one-byte planes, and
// so do sizes whose planes exceed kMaxPlanarBytes: a caller that hands the planes on with their
// sizes checks PlanarFrameBytes first. Any frame number (pattern arithmetic wraps).
PlanarFrame MakePlanarFrame(int32_t width, int32_t height, int32_t frame, int32_t pad);

// `count` packed bytes (none for a count of 0 or less).
std::vector<uint8_t> MakePackedFrame(int32_t count, int32_t frame);

// The bytes a receiver holds after copying the planes compactly (Y rows of width, then U and V
// rows of width/2, height/2 of them): what the console's fnv1a of a delivered frame is over.
std::vector<uint8_t> CompactI420(const PlanarFrame& frame, int32_t width, int32_t height);

// 32-bit FNV-1a of `size` bytes.
using kv_common::Fnv1a;

}  // namespace kv_sim
