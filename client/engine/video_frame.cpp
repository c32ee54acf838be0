#include "video_frame.h"

#include <cstddef>
#include <cstring>

namespace corvel_client {
namespace {

// Copies `rows` rows of `width` bytes; one memcpy when the rows are contiguous on both sides.
void CopyPlane(uint8_t* out, const uint8_t* in, int32_t width, int32_t rows, int32_t stride) {
  if (width <= 0 || rows <= 0) return;
  if (stride == width) {
    std::memcpy(out, in, static_cast<size_t>(width) * static_cast<size_t>(rows));
    return;
  }
  for (int32_t row = 0; row < rows; ++row) {
    std::memcpy(out, in, static_cast<size_t>(width));
    out += width;
    in += stride;
  }
}

}  // namespace

int32_t FrameByteSize(int32_t width, int32_t height) {
  // A side of 0 is a frame of 0 bytes, which is delivered like any other (nothing is copied).
  // Negative sides would index the planes backwards and are refused.
  if (width < 0 || height < 0) return -1;
  // The pixel count always fits in 64 bits; three times it may not (both sides near INT32_MAX),
  // so the limit is applied to the pixels first.
  const int64_t pixels = int64_t{width} * height;
  if (pixels > (int64_t{INT32_MAX} * 2 + 1) / 3) return -1;
  return static_cast<int32_t>(pixels * 3 / 2);
}

void CopyPlanarFrame(uint8_t* out, int32_t width, int32_t height, const uint8_t* y, int32_t yStride,
                     const uint8_t* u, int32_t uStride, const uint8_t* v, int32_t vStride) {
  const int32_t n = width / 2;
  const int32_t r = height / 2;
  const size_t lumaSize = static_cast<size_t>(width) * static_cast<size_t>(height);
  CopyPlane(out, y, width, height, yStride);
  CopyPlane(out + lumaSize, u, n, r, uStride);
  CopyPlane(out + lumaSize + static_cast<size_t>(n) * static_cast<size_t>(height) / 2, v, n, r,
            vStride);
}

}  // namespace corvel_client
