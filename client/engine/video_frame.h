// The pure parts of video frame delivery: which streams have buffers and how large, the byte size
// of an I420 frame, and the copy of a planar frame into a stream buffer.
#pragma once

#include <cstdint>

namespace corvel_client {

// Streams that get a frame buffer, in map order, with the buffer's capacity in bytes.
struct StreamCapacity {
  int32_t stream;
  int32_t capacity;
};
constexpr StreamCapacity kStreamCapacities[] = {
    {0, 1920 * 1080 * 3}, {1, 1920 * 1080 * 3},  {2, 1920 * 1080 * 3},
    {3, 1920 * 1080 * 3}, {20, 4096 * 2160 * 3}, {1000, 1920 * 1080 * 3},
};

// (3 * width * height) / 2 (0 when width or height is 0), or -1 when width or height is negative
// or the size does not fit in an int32 (such a frame cannot be described to the scripts).
int32_t FrameByteSize(int32_t width, int32_t height);

// Copies an I420 frame, plane by plane and row by row, into `out` (FrameByteSize bytes): the Y
// plane (height rows of width bytes), the U plane at width * height (height / 2 rows of width / 2
// bytes) and the V plane at width * height + (width / 2 * height) / 2. The caller has checked the
// size; sources are read `stride` bytes apart.
void CopyPlanarFrame(uint8_t* out, int32_t width, int32_t height, const uint8_t* y, int32_t yStride,
                     const uint8_t* u, int32_t uStride, const uint8_t* v, int32_t vStride);

}  // namespace corvel_client
