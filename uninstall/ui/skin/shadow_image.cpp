#include "ui/skin/shadow_image.h"

#include <algorithm>
#include <cmath>

namespace kv_skin {

namespace {

constexpr int kMaxShadowSize = 20;
constexpr unsigned kMaxSharpness = 20;
constexpr unsigned kMaxDarkness = 255;
constexpr int kMaxOffset = 20;

bool InSignedRange(int value) { return value >= -kMaxShadowSize && value <= kMaxShadowSize; }

// The shadow's row spans in picture columns, indexed by picture row, with one empty row above and
// below the rows that exist. For a negative size the table keeps all parent rows, some of which
// lie outside the picture; they still take part in the erosion.
class SpanTable {
 public:
  SpanTable(int first_row, int last_row)
      : first_(first_row - 1), rows_(static_cast<size_t>(last_row - first_row + 3), kEmpty) {}

  RowSpan Get(int y) const {
    const int index = y - first_;
    if (index < 0 || index >= static_cast<int>(rows_.size())) return kEmpty;
    return rows_[static_cast<size_t>(index)];
  }
  void Set(int y, RowSpan span) { rows_[static_cast<size_t>(y - first_)] = span; }

  // One step of morphological erosion: every row shrinks to the overlap of itself and its two
  // neighbours, minus one pixel on each side. The sentinel rows stay empty.
  void Erode() {
    std::vector<RowSpan> next(rows_.size(), kEmpty);
    for (size_t i = 1; i + 1 < rows_.size(); ++i) {
      const RowSpan& a = rows_[i - 1];
      const RowSpan& b = rows_[i];
      const RowSpan& c = rows_[i + 1];
      next[i].left = std::max({a.left, b.left, c.left}) + 1;
      next[i].right = std::min({a.right, b.right, c.right}) - 1;
    }
    rows_.swap(next);
  }

 private:
  static constexpr RowSpan kEmpty{0, 0};
  int first_;
  std::vector<RowSpan> rows_;
};

}  // namespace

bool ShadowSettings::SetSize(int value) {
  if (!InSignedRange(value)) return false;
  size = static_cast<int8_t>(value);
  return true;
}

bool ShadowSettings::SetSharpness(unsigned value) {
  if (value > kMaxSharpness) return false;
  sharpness = static_cast<uint8_t>(value);
  return true;
}

bool ShadowSettings::SetDarkness(unsigned value) {
  if (value > kMaxDarkness) return false;
  darkness = static_cast<uint8_t>(value);
  return true;
}

bool ShadowSettings::SetOffset(int x, int y) {
  if (x < -kMaxOffset || x > kMaxOffset || y < -kMaxOffset || y > kMaxOffset) return false;
  x_offset = static_cast<int8_t>(x);
  y_offset = static_cast<int8_t>(y);
  return true;
}

uint32_t Premultiply(uint32_t rgb, unsigned alpha) {
  const uint32_t red = rgb & 0xFF;
  const uint32_t green = (rgb >> 8) & 0xFF;
  const uint32_t blue = (rgb >> 16) & 0xFF;
  return (alpha << 24) | ((red * alpha / 255) << 16) | ((green * alpha / 255) << 8) |
         (blue * alpha / 255);
}

PictureSize ShadowPictureSize(const ShadowSettings& settings, int parent_width, int parent_height) {
  return {parent_width + 2 * settings.size, parent_height + 2 * settings.size};
}

int ShadowKernelRadius(const ShadowSettings& settings) {
  return std::max<int>(settings.size, settings.sharpness);
}

std::vector<uint32_t> ShadowKernel(const ShadowSettings& settings) {
  const int radius = ShadowKernelRadius(settings);
  const int core = std::max(0, settings.size - settings.sharpness);
  const int side = 2 * radius + 1;
  std::vector<uint32_t> kernel(static_cast<size_t>(side) * side, 0);
  for (int i = -radius; i <= radius; ++i) {
    for (int j = -radius; j <= radius; ++j) {
      const double dist = std::sqrt(static_cast<double>(i * i + j * j));
      uint32_t value = 0;
      if (dist < core) {
        value = Premultiply(settings.color, settings.darkness);
      } else if (dist <= radius) {
        const auto alpha = static_cast<unsigned>(
            static_cast<int>((1 - (dist - core) / (settings.sharpness + 1)) * settings.darkness));
        value = Premultiply(settings.color, alpha);
      }
      kernel[static_cast<size_t>(i + radius) * side + (j + radius)] = value;
    }
  }
  return kernel;
}

std::vector<RowSpan> ScanRowSpans(int width, int height,
                                  const std::function<bool(int x, int y)>& inside) {
  std::vector<RowSpan> rows(static_cast<size_t>(std::max(0, height)));
  for (int y = 0; y < height; ++y) {
    int left = 0;
    while (left < width && !inside(left, y)) ++left;
    if (left == width) continue;  // no inside pixel: empty span
    int right = width - 1;
    while (right > left && !inside(right, y)) --right;
    rows[static_cast<size_t>(y)] = {left, right + 1};
  }
  return rows;
}

void BuildShadowImage(const ShadowSettings& settings, int parent_width,
                      const std::vector<RowSpan>& parent_rows, const PixelView& out) {
  const int s = settings.size;
  const int k = settings.sharpness;
  const int parent_height = static_cast<int>(parent_rows.size());
  const PictureSize picture = ShadowPictureSize(settings, parent_width, parent_height);
  const int width = picture.width;
  const int height = picture.height;
  if (width <= 0 || height <= 0 || out.pixels == nullptr || out.width != width ||
      out.height != height) {
    return;
  }

  // Shadow shape: parent row py becomes picture row py + s, shifted right by s.
  SpanTable table(std::min(0, s), std::max(height - 1, parent_height + s - 1));
  for (int py = 0; py < parent_height; ++py) {
    const RowSpan& span = parent_rows[static_cast<size_t>(py)];
    if (!span.Empty()) table.Set(py + s, {span.left + s, span.right + s});
  }
  for (int i = 0; i < k - s; ++i) table.Erode();

  const int radius = ShadowKernelRadius(settings);
  const int side = 2 * radius + 1;
  const std::vector<uint32_t> kernel = ShadowKernel(settings);
  auto stamp = [&](int cx, int cy) {
    for (int ky = 0; ky < side; ++ky) {
      const int y = cy - radius + ky;
      if (y < 0 || y >= height) continue;
      for (int kx = 0; kx < side; ++kx) {
        const int x = cx - radius + kx;
        if (x < 0 || x >= width) continue;
        uint32_t& pixel = out.At(x, y);
        pixel = std::max(pixel, kernel[static_cast<size_t>(ky) * side + kx]);
      }
    }
  };

  // Edge stamping: only the pixels at a row's ends that are not covered by its neighbours' spans
  // can reach outside the core, so only they get the kernel.
  for (int y = radius; y < height - radius; ++y) {
    const RowSpan row = table.Get(y);
    if (row.Empty()) continue;
    const RowSpan above = table.Get(y - 1);
    const RowSpan below = table.Get(y + 1);
    int x = row.left;
    for (const int end = std::min(std::max(above.left, below.left) + 1, row.right); x < end; ++x) {
      stamp(x, y);
    }
    for (x = std::max(std::min(above.right, below.right) - 1, x); x < row.right; ++x) stamp(x, y);
  }

  // Core fill, and the cut-out where the parent itself covers the shadow.
  const uint32_t full = Premultiply(settings.color, settings.darkness);
  auto fill = [&](int y, int from, int to, uint32_t value) {
    for (int x = std::max(0, from); x < std::min(to, width); ++x) out.At(x, y) = value;
  };
  const int xo = settings.x_offset;
  const int yo = settings.y_offset;
  const int first = std::min(radius, std::max(0, s - yo));
  const int last = std::max(height - radius, std::min(parent_height + s - yo, height));
  for (int y = std::max(0, first); y < std::min(last, height); ++y) {
    const RowSpan row = table.Get(y);
    const int py = y - s + yo;
    const bool covered = py >= 0 && py < parent_height && !parent_rows[size_t(py)].Empty();
    if (!covered) {
      fill(y, row.left, row.right, full);
      continue;
    }
    const RowSpan& parent = parent_rows[static_cast<size_t>(py)];
    const int pl = parent.left - xo + s;
    const int pr = parent.right - xo + s;
    fill(y, row.left, std::min(pl, row.right), full);
    fill(y, pl, pr, 0);
    fill(y, std::max(pr, row.left), row.right, full);
  }
}

}  // namespace kv_skin
