#include "ui/skin/shadow_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kv_skin {
namespace {

unsigned Alpha(uint32_t pixel) { return pixel >> 24; }

struct Picture {
  PictureSize size;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * size.width + x]; }
};

std::vector<RowSpan> Rectangle(int width, int height) {
  return std::vector<RowSpan>(static_cast<size_t>(height), RowSpan{0, width});
}

Picture Build(const ShadowSettings& settings, int parent_width, const std::vector<RowSpan>& rows) {
  Picture picture;
  picture.size = ShadowPictureSize(settings, parent_width, static_cast<int>(rows.size()));
  if (picture.size.width > 0 && picture.size.height > 0) {
    picture.pixels.assign(static_cast<size_t>(picture.size.width) * picture.size.height, 0);
  }
  BuildShadowImage(settings, parent_width, rows,
                   {picture.pixels.data(), picture.size.width, picture.size.height, false});
  return picture;
}

ShadowSettings DialogSettings() {
  ShadowSettings settings;
  settings.SetSize(5);
  settings.SetDarkness(20);
  settings.SetSharpness(5);
  return settings;
}

// Wrong channel order or rounding in the premultiplied pixel.
TEST(ShadowImage, PremultiplyScalesEachChannelIntoBgra) {
  EXPECT_EQ(Premultiply(0, 20), 20u << 24);
  EXPECT_EQ(Premultiply(0x00FFFFFF, 255), 0xFFFFFFFFu);
  // COLORREF red 200, green 100, blue 50 at alpha 128: 200*128/255 = 100, 50, 25.
  EXPECT_EQ(Premultiply(200 | (100 << 8) | (50 << 16), 128),
            (128u << 24) | (100u << 16) | (50u << 8) | 25u);
  EXPECT_EQ(Premultiply(0x00123456, 0), 0u);
}

// Range checks that accept out-of-range values or change the stored value on refusal.
TEST(ShadowImage, SettersRefuseOutOfRangeAndKeepOldValues) {
  ShadowSettings s = DialogSettings();
  EXPECT_FALSE(s.SetSize(21));
  EXPECT_FALSE(s.SetSize(-21));
  EXPECT_FALSE(s.SetSharpness(21));
  EXPECT_FALSE(s.SetDarkness(256));
  EXPECT_FALSE(s.SetOffset(0, -21));
  EXPECT_FALSE(s.SetOffset(21, 0));
  EXPECT_EQ(s.size, 5);
  EXPECT_EQ(s.sharpness, 5);
  EXPECT_EQ(s.darkness, 20);
  EXPECT_EQ(s.x_offset, 0);
  EXPECT_EQ(s.y_offset, 0);
  EXPECT_TRUE(s.SetSize(-20));
  EXPECT_TRUE(s.SetSharpness(20));
  EXPECT_TRUE(s.SetDarkness(255));
  EXPECT_TRUE(s.SetOffset(-20, 20));
  EXPECT_EQ(s.size, -20);
  EXPECT_EQ(s.sharpness, 20);
  EXPECT_EQ(s.darkness, 255);
  EXPECT_EQ(s.x_offset, -20);
  EXPECT_EQ(s.y_offset, 20);
  const ShadowSettings defaults;
  EXPECT_EQ(defaults.size, 0);
  EXPECT_EQ(defaults.sharpness, 5);
  EXPECT_EQ(defaults.darkness, 50);
  EXPECT_EQ(defaults.color, 0u);
}

// Kernel falloff computed with the wrong formula, rounding or distance.
TEST(ShadowImage, KernelAlphasFollowDistanceFromCentre) {
  const ShadowSettings s = DialogSettings();
  ASSERT_EQ(ShadowKernelRadius(s), 5);
  const std::vector<uint32_t> kernel = ShadowKernel(s);
  ASSERT_EQ(kernel.size(), 11u * 11u);
  auto at = [&](int i, int j) { return Alpha(kernel[static_cast<size_t>(i + 5) * 11 + j + 5]); };
  // Distances 0, 1, sqrt2, 2, sqrt5, sqrt8, 3, sqrt10, sqrt13, 4, sqrt17, sqrt18, sqrt20, 5.
  const int offsets[][2] = {{0, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {2, 2}, {0, 3},
                            {1, 3}, {2, 3}, {0, 4}, {1, 4}, {3, 3}, {2, 4}, {0, 5}};
  const unsigned expected[] = {20, 16, 15, 13, 12, 10, 10, 9, 7, 6, 6, 5, 5, 3};
  for (size_t n = 0; n < std::size(expected); ++n) {
    EXPECT_EQ(at(offsets[n][0], offsets[n][1]), expected[n]) << "cell " << n;
    EXPECT_EQ(at(-offsets[n][1], offsets[n][0]), expected[n]) << "rotated cell " << n;
  }
  EXPECT_EQ(kernel[0], 0u);  // corner: distance sqrt50 > 5
  EXPECT_EQ(at(3, 4), 3u);   // distance exactly 5 still belongs to the falloff
  ShadowSettings wide = s;
  wide.SetSize(8);
  wide.SetSharpness(2);  // core radius 6 at full darkness
  const std::vector<uint32_t> k2 = ShadowKernel(wide);
  EXPECT_EQ(Alpha(k2[8 * 17 + 8 + 5]), 20u);
  EXPECT_EQ(Alpha(k2[8 * 17 + 8 + 7]), 13u);  // (1 - 1/3) * 20
}

// The dialog's ring: wrong radius, a cut-out that misses the parent, or stamping gaps.
TEST(ShadowImage, DialogConfigurationGivesRingAroundClearedParent) {
  const Picture p = Build(DialogSettings(), 640, Rectangle(640, 390));
  ASSERT_EQ(p.size.width, 650);
  ASSERT_EQ(p.size.height, 400);
  const unsigned ring[] = {16, 13, 10, 6, 3};
  for (int d = 1; d <= 5; ++d) {
    EXPECT_EQ(Alpha(p.At(5 - d, 200)), ring[d - 1]) << "left " << d;
    EXPECT_EQ(Alpha(p.At(644 + d, 200)), ring[d - 1]) << "right " << d;
    EXPECT_EQ(Alpha(p.At(300, 5 - d)), ring[d - 1]) << "top " << d;
    EXPECT_EQ(Alpha(p.At(300, 394 + d)), ring[d - 1]) << "bottom " << d;
  }
  for (int y = 5; y < 395; ++y) {
    for (int x = 5; x < 645; ++x) ASSERT_EQ(p.At(x, y), 0u) << x << "," << y;
  }
  EXPECT_EQ(p.At(0, 0), 0u);
  EXPECT_EQ(p.At(649, 0), 0u);
  EXPECT_EQ(p.At(0, 399), 0u);
  EXPECT_EQ(p.At(649, 399), 0u);
  // Curved corner: one pixel out on both axes is sqrt2 from the core's corner.
  EXPECT_EQ(Alpha(p.At(4, 4)), 15u);
  EXPECT_EQ(Alpha(p.At(1, 1)), 0u);  // sqrt32 > 5
  EXPECT_EQ(p.At(4, 200), Premultiply(0, 16));
}

// A bottom-up buffer must hold the same picture upside down in memory.
TEST(ShadowImage, BottomUpViewStoresTopRowLast) {
  ShadowSettings s = DialogSettings();
  s.SetOffset(0, 3);  // makes the picture asymmetric top to bottom
  const Picture top_down = Build(s, 40, Rectangle(40, 30));
  std::vector<uint32_t> bottom_up(top_down.pixels.size(), 0);
  BuildShadowImage(s, 40, Rectangle(40, 30),
                   {bottom_up.data(), top_down.size.width, top_down.size.height, true});
  const int w = top_down.size.width;
  const int h = top_down.size.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(bottom_up[static_cast<size_t>(h - 1 - y) * w + x], top_down.At(x, y));
    }
  }
  EXPECT_NE(top_down.At(20, 6), top_down.At(20, h - 1 - 6));
}

// Defaults put the whole picture under the parent, so it must be cleared completely.
TEST(ShadowImage, DefaultSettingsShowNothing) {
  const Picture p = Build(ShadowSettings{}, 100, Rectangle(100, 60));
  ASSERT_EQ(p.size.width, 100);
  for (uint32_t pixel : p.pixels) ASSERT_EQ(pixel, 0u);
}

// Row spans ignored, or the cut-out using the wrong parent row.
TEST(ShadowImage, NonRectangularShapeFollowsRows) {
  // A hat: rows 0-19 span columns 20-79, rows 20-59 span 0-99; row 40 has no pixel.
  std::vector<RowSpan> rows(60, RowSpan{0, 100});
  for (int y = 0; y < 20; ++y) rows[static_cast<size_t>(y)] = {20, 80};
  rows[40] = {0, 0};
  const Picture p = Build(DialogSettings(), 100, rows);
  // Picture row 15 is parent row 10 (narrow part): ring just left of column 25.
  EXPECT_EQ(Alpha(p.At(24, 15)), 16u);
  EXPECT_EQ(Alpha(p.At(20, 15)), 3u);
  EXPECT_EQ(p.At(19, 15), 0u);
  EXPECT_EQ(p.At(10, 15), 0u);
  EXPECT_EQ(p.At(25, 15), 0u);
  EXPECT_EQ(Alpha(p.At(85, 15)), 16u);
  // Picture row 35 is parent row 30 (wide part).
  EXPECT_EQ(Alpha(p.At(4, 35)), 16u);
  EXPECT_EQ(p.At(10, 35), 0u);
  // The step: under the wide part's top edge, beside the narrow part, the ring runs horizontally.
  EXPECT_EQ(Alpha(p.At(10, 24)), 16u);
  EXPECT_EQ(Alpha(p.At(10, 20)), 3u);
  // A parent row without pixels is a gap in the shape: its neighbours' edges shade it.
  EXPECT_EQ(Alpha(p.At(50, 45)), 16u);
  EXPECT_EQ(p.At(50, 44), 0u);
}

// Negative sizes: out-of-bounds writes (caught by ASan) or a shadow showing under the parent.
TEST(ShadowImage, NegativeSizeShrinksPictureAndStaysInBounds) {
  ShadowSettings s;
  s.SetSize(-3);
  const Picture p = Build(s, 50, Rectangle(50, 40));
  ASSERT_EQ(p.size.width, 44);
  ASSERT_EQ(p.size.height, 34);
  for (uint32_t pixel : p.pixels) ASSERT_EQ(pixel, 0u);
  s.SetOffset(0, 10);  // shifted down, the shadow shows below the parent
  const Picture shifted = Build(s, 50, Rectangle(50, 40));
  EXPECT_EQ(shifted.At(22, 0), 0u);
  EXPECT_GT(Alpha(shifted.At(22, 33)), 0u);
  s.SetSize(-20);  // parent smaller than twice the size: no picture, nothing written
  const Picture none = Build(s, 10, Rectangle(10, 10));
  EXPECT_TRUE(none.pixels.empty());
}

// Sharpness above size must erode the shape first, so the falloff ends at the picture's edge.
TEST(ShadowImage, SharpnessAboveSizeErodesBeforeBlurring) {
  ShadowSettings s;
  s.SetSize(2);
  s.SetSharpness(6);
  s.SetDarkness(100);
  const Picture p = Build(s, 40, Rectangle(40, 30));
  ASSERT_EQ(p.size.width, 44);
  // Eroded core starts at column 6; column 0 is 6 away: (1 - 6/7) * 100 = 14.
  EXPECT_EQ(Alpha(p.At(0, 17)), 14u);
  EXPECT_EQ(Alpha(p.At(1, 17)), 28u);
  EXPECT_EQ(p.At(2, 17), 0u);  // under the parent
  EXPECT_EQ(Alpha(p.At(43, 17)), 14u);
}

// Only the first inside pixel from each side is probed, and empty rows come out empty.
TEST(ShadowImage, ScanRowSpansProbesFromBothSides) {
  int probes = 0;
  const std::vector<RowSpan> rect = ScanRowSpans(100, 3, [&](int, int) {
    ++probes;
    return true;
  });
  EXPECT_EQ(probes, 6);
  EXPECT_EQ(rect[1].left, 0);
  EXPECT_EQ(rect[1].right, 100);
  const std::vector<RowSpan> diamond =
      ScanRowSpans(9, 3, [](int x, int y) { return y != 2 && x >= 4 - y && x <= 4 + y; });
  EXPECT_EQ(diamond[0].left, 4);
  EXPECT_EQ(diamond[0].right, 5);
  EXPECT_EQ(diamond[1].left, 3);
  EXPECT_EQ(diamond[1].right, 6);
  EXPECT_TRUE(diamond[2].Empty());
}

}  // namespace
}  // namespace kv_skin
