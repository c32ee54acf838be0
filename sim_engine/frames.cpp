#include "frames.h"

#include <algorithm>
#include <cstring>

namespace kv_sim {

int64_t PlanarFrameBytes(int32_t width, int32_t height, int32_t pad, int64_t limit) {
  if (width <= 0 || height <= 0) return -1;
  limit = std::min(limit, kMaxPlanarBytes);
  // Every factor is checked against the limit before a multiplication, so no product exceeds
  // 2^30 x 2^31 (each term below fits in 64 bits, whatever the 32-bit inputs).
  const int64_t lumaStride = int64_t{width} + std::max(pad, 0);
  const int64_t chromaStride = (int64_t{width} + 1) / 2 + std::max(pad, 0);
  const int64_t chromaHeight = (int64_t{height} + 1) / 2;
  if (lumaStride > limit || height > limit) return -1;
  const int64_t luma = lumaStride * height;
  const int64_t chroma = 2 * chromaStride * chromaHeight;
  if (luma > limit || chroma > limit - luma) return -1;
  return luma + chroma;
}

PlanarFrame MakePlanarFrame(int32_t width, int32_t height, int32_t frame, int32_t pad) {
  PlanarFrame out;
  pad = std::max(pad, 0);
  if (PlanarFrameBytes(width, height, pad, kMaxPlanarBytes) < 0) {
    out.y.assign(1, 0);
    out.u.assign(1, 0);
    out.v.assign(1, 0);
    return out;
  }
  // Within kMaxPlanarBytes every stride and size below fits in 32 bits.
  const int32_t chromaWidth = static_cast<int32_t>((int64_t{width} + 1) / 2);
  const int32_t chromaHeight = static_cast<int32_t>((int64_t{height} + 1) / 2);
  out.yStride = width + pad;
  out.uStride = out.vStride = chromaWidth + pad;
  out.y.assign(static_cast<size_t>(out.yStride) * height, 0xEE);
  out.u.assign(static_cast<size_t>(out.uStride) * chromaHeight, 0xEE);
  out.v.assign(static_cast<size_t>(out.vStride) * chromaHeight, 0xEE);
  // The pattern in unsigned arithmetic: any frame number wraps instead of overflowing. Luma row
  // `row` is (x + row + frame) mod 256, a window into one ramp; every U row is the same and every
  // V row one value, so each row is one copy or fill (a loop per byte made a 1920 x 1080 frame
  // cost the 32-bit build more than all the rest of its way to a page).
  const uint32_t shift = static_cast<uint32_t>(frame);
  std::vector<uint8_t> ramp(static_cast<size_t>(width) + 256);
  for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = static_cast<uint8_t>(k + shift);
  for (int32_t row = 0; row < height; ++row) {
    std::memcpy(&out.y[static_cast<size_t>(row) * out.yStride], &ramp[row & 255],
                static_cast<size_t>(width));
  }
  for (int32_t row = 0; row < chromaHeight; ++row) {
    uint8_t* u = &out.u[static_cast<size_t>(row) * out.uStride];
    std::memcpy(u, &ramp[64], static_cast<size_t>(chromaWidth));  // 64 + i + frame
    std::memset(&out.v[static_cast<size_t>(row) * out.vStride],
                static_cast<uint8_t>(192u + static_cast<uint32_t>(row) + shift),
                static_cast<size_t>(chromaWidth));
  }
  return out;
}

std::vector<uint8_t> MakePackedFrame(int32_t count, int32_t frame) {
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
  for (size_t k = 0; k < bytes.size(); ++k) {
    bytes[k] = static_cast<uint8_t>((k + static_cast<uint32_t>(frame)) % 251);
  }
  return bytes;
}

std::vector<uint8_t> CompactI420(const PlanarFrame& frame, int32_t width, int32_t height) {
  std::vector<uint8_t> out;
  if (width <= 0 || height <= 0) return out;
  const int32_t n = width / 2, r = height / 2;
  // Planes made for other sizes (or the one-byte planes of refused sizes) give nothing.
  if (frame.yStride < width || frame.uStride < n || frame.vStride < n ||
      frame.y.size() < static_cast<size_t>(frame.yStride) * height ||
      frame.u.size() < static_cast<size_t>(frame.uStride) * r ||
      frame.v.size() < static_cast<size_t>(frame.vStride) * r) {
    return out;
  }
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* line = &frame.y[static_cast<size_t>(row) * frame.yStride];
    out.insert(out.end(), line, line + width);
  }
  for (int32_t row = 0; row < r; ++row) {
    const uint8_t* line = &frame.u[static_cast<size_t>(row) * frame.uStride];
    out.insert(out.end(), line, line + n);
  }
  for (int32_t row = 0; row < r; ++row) {
    const uint8_t* line = &frame.v[static_cast<size_t>(row) * frame.vStride];
    out.insert(out.end(), line, line + n);
  }
  return out;
}

}  // namespace kv_sim
