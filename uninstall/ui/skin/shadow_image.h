// The drop shadow's picture as plain data: settings with their ranges, premultiplied colours, the
// blur kernel and the picture itself, computed from the parent's row spans. No window is needed, so
// the native build tests all of it; wnd_shadow.cpp only feeds it the parent's shape and a DIB.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kv_skin {

// One row of a shape: the half-open column range [left, right); empty when left >= right.
struct RowSpan {
  int left = 0;
  int right = 0;
  bool Empty() const { return left >= right; }
};

// The shadow's settings. Setters refuse values out of range and then keep the old value.
struct ShadowSettings {
  int8_t size = 0;        // how far the shadow reaches beyond the parent, -20 ... 20
  uint8_t sharpness = 5;  // width of the soft edge, 0 ... 20
  uint8_t darkness = 50;  // alpha of the core, 0 ... 255
  int8_t x_offset = 0;    // -20 ... 20
  int8_t y_offset = 0;    // -20 ... 20
  uint32_t color = 0;     // COLORREF layout: red in the lowest byte

  // Each returns false, changing nothing, when a value is out of range.
  bool SetSize(int value);
  bool SetSharpness(unsigned value);
  bool SetDarkness(unsigned value);
  bool SetOffset(int x, int y);
};

// 32-bit premultiplied BGRA pixel (alpha in the top byte) of COLORREF `rgb` at `alpha` (0 ... 255).
uint32_t Premultiply(uint32_t rgb, unsigned alpha);

// Picture size for a parent of the given size: parent size + 2 * size on each axis (may be <= 0,
// then there is no picture).
struct PictureSize {
  int width = 0;
  int height = 0;
};
PictureSize ShadowPictureSize(const ShadowSettings& settings, int parent_width, int parent_height);

// Radius of the kernel: max(size, sharpness).
int ShadowKernelRadius(const ShadowSettings& settings);

// The (2R + 1)^2 kernel, row by row, centre in the middle; premultiplied pixels.
std::vector<uint32_t> ShadowKernel(const ShadowSettings& settings);

// Per parent row, the leftmost and one past the rightmost pixel for which `inside(x, y)` holds.
// Probes from each side only until the first inside pixel, so a rectangle costs two probes a row.
std::vector<RowSpan> ScanRowSpans(int width, int height,
                                  const std::function<bool(int x, int y)>& inside);

// A caller-owned pixel buffer of width * height premultiplied pixels. Row y counts from the top of
// the picture; `bottom_up` stores the top row last (the layout of a bottom-up DIB section).
struct PixelView {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  bool bottom_up = false;
  uint32_t& At(int x, int y) const {
    return pixels[static_cast<size_t>(bottom_up ? height - 1 - y : y) * width + x];
  }
};

// Draws the shadow of a parent `parent_width` wide whose rows are `parent_rows` into `out`, which
// must be zeroed and of ShadowPictureSize. Writes only inside `out`; does nothing when the view's
// size does not match the settings and the parent.
void BuildShadowImage(const ShadowSettings& settings, int parent_width,
                      const std::vector<RowSpan>& parent_rows, const PixelView& out);

}  // namespace kv_skin
