// Minimal PNG writer and reader for the uninstaller's artwork: 8-bit RGB or RGBA, no interlace.
// The writer is deterministic (filter 0 on every row, zlib level 9), so the same pixels always
// give the same bytes with the same zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv_art {

// A picture held as RGBA bytes, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4

  Image() = default;
  Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// PNG bytes of `image`; colour type 6 (RGBA) when `with_alpha`, else 2 (RGB, alpha dropped).
// Empty on a zlib failure.
std::vector<uint8_t> EncodePng(const Image& image, bool with_alpha);

// Decodes an 8-bit RGB or RGBA, non-interlaced PNG (all five row filters). On failure returns
// false and sets `error`; `out` is then unspecified. `has_alpha` tells the colour type.
bool DecodePng(const std::vector<uint8_t>& bytes, Image& out, bool& has_alpha, std::string& error);

}  // namespace kv_art
