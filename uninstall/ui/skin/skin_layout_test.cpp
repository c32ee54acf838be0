#include "ui/skin/skin_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace kv_skin {
namespace {

// Fill width off by the head, no clamping past 100, overflow on huge positions, fill below 0.
TEST(ProgressPlan, FillWidthForPositions) {
  EXPECT_FALSE(PlanProgress(-1).fill);
  EXPECT_EQ(PlanProgress(-1).visible_fill, 0);
  EXPECT_FALSE(PlanProgress(INT_MIN).fill);
  const ProgressPlan zero = PlanProgress(0);
  EXPECT_TRUE(zero.fill);
  EXPECT_EQ(zero.body_width, 0);
  EXPECT_EQ(zero.visible_fill, 5);
  EXPECT_EQ(PlanProgress(50).body_width, 273);
  EXPECT_EQ(PlanProgress(50).visible_fill, 278);
  EXPECT_EQ(PlanProgress(99).body_width, 540);  // 540.54 truncated
  EXPECT_EQ(PlanProgress(99).visible_fill, 545);
  EXPECT_EQ(PlanProgress(100).body_width, 546);
  EXPECT_EQ(PlanProgress(100).visible_fill, 546);
  EXPECT_EQ(PlanProgress(101).visible_fill, 546);
  EXPECT_EQ(PlanProgress(INT_MAX).body_width, 546);
}

struct Coverage {
  std::vector<int> count;
  std::vector<int> src_x;
  std::vector<int> src_y;
};

Coverage Apply(int w, int h, int iw, int ih) {
  Coverage c{std::vector<int>(w * h, 0), std::vector<int>(w * h, -1), std::vector<int>(w * h, -1)};
  for (const SlicePiece& p : PlanNineSlice(w, h, iw, ih)) {
    EXPECT_GE(p.src_x, 0);
    EXPECT_GE(p.src_y, 0);
    EXPECT_LE(p.src_x + p.width, iw);
    EXPECT_LE(p.src_y + p.height, ih);
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const int i = (p.dst_y + y) * w + p.dst_x + x;
        ++c.count[i];
        c.src_x[i] = p.src_x + x;
        c.src_y[i] = p.src_y + y;
      }
    }
  }
  return c;
}

// Gaps, overlaps or pieces outside the image for areas with 0-3 rows/columns left over.
TEST(NineSlice, CoversEveryPixelOnceFromInsideTheImage) {
  for (int w = 8; w <= 17; ++w) {
    for (int h = 8; h <= 17; ++h) {
      const Coverage c = Apply(w, h, 30, 30);
      for (size_t i = 0; i < c.count.size(); ++i) {
        ASSERT_EQ(c.count[i], 1) << w << "x" << h << " pixel " << i;
      }
      // Corners come from the image's corners, the rest from the 2-pixel bands next to them.
      EXPECT_EQ(c.src_x[0], 0);
      EXPECT_EQ(c.src_x[w * h - 1], 29);
      EXPECT_EQ(c.src_y[w * h - 1], 29);
      for (int x = 4; x < w - 4; ++x) {
        EXPECT_GE(c.src_x[x], 4);
        EXPECT_LE(c.src_x[x], 6);
        EXPECT_EQ(c.src_y[(h - 1) * w + x], 29);
      }
    }
  }
}

// Slice lengths: 2 while more than 3 rows remain, then one last slice of the rest.
TEST(NineSlice, EdgeSlicesForRemainingRows) {
  auto left_edge = [](int h) {
    std::vector<int> heights;
    for (const SlicePiece& p : PlanNineSlice(8, h, 30, 30)) {
      if (p.dst_x == 0 && p.dst_y >= 4 && p.dst_y < h - 4) {
        EXPECT_EQ(p.src_y, 4);
        EXPECT_EQ(p.width, 4);
        heights.push_back(p.height);
      }
    }
    return heights;
  };
  EXPECT_EQ(left_edge(8), std::vector<int>{});
  EXPECT_EQ(left_edge(9), std::vector<int>{1});
  EXPECT_EQ(left_edge(10), std::vector<int>{2});
  EXPECT_EQ(left_edge(11), std::vector<int>{3});
  EXPECT_EQ(left_edge(12), (std::vector<int>{2, 2}));
  EXPECT_EQ(left_edge(13), (std::vector<int>{2, 3}));
  // The Done button: 252 x 30 from a 30 x 30 cell.
  const std::vector<SlicePiece> done = PlanNineSlice(252, 30, 30, 30);
  EXPECT_EQ(done[3], (SlicePiece{248, 26, 26, 26, 4, 4}));
  EXPECT_EQ(done.back(), (SlicePiece{246, 24, 4, 4, 2, 2}));
}

// The state table's order, fallbacks and text colours.
TEST(ButtonLook, StateTableWithFallbacks) {
  ButtonLookInput in;
  in.extended_style = kBtnHoverMode;
  in.indices[0] = 0;  // normal
  in.indices[1] = 2;  // pressed
  in.indices[2] = 1;  // hover
  in.indices[3] = 3;  // disabled
  in.custom_normal_color = true;
  in.normal_color = Rgb(255, 255, 255);

  ButtonLook look = ChooseButtonLook(in);
  EXPECT_EQ(look.image_index, 0);
  EXPECT_EQ(look.text_color, Rgb(255, 255, 255));
  in.mouse_over = true;
  look = ChooseButtonLook(in);
  EXPECT_EQ(look.image_index, 1);
  EXPECT_EQ(look.text_color, Rgb(72, 116, 10));
  in.pressed = true;  // pressed wins over hover
  look = ChooseButtonLook(in);
  EXPECT_EQ(look.image_index, 2);
  EXPECT_EQ(look.text_color, Rgb(57, 95, 4));
  in.disabled = true;  // disabled wins over everything
  look = ChooseButtonLook(in);
  EXPECT_EQ(look.image_index, 3);
  EXPECT_EQ(look.text_color, Rgb(220, 245, 232));
  EXPECT_EQ(look.offset, 0);

  // Without an image for the state: the normal image and the normal colour.
  in.indices[3] = -1;
  look = ChooseButtonLook(in);
  EXPECT_EQ(look.image_index, 0);
  EXPECT_EQ(look.text_color, Rgb(255, 255, 255));
  in.custom_normal_color = false;
  EXPECT_EQ(ChooseButtonLook(in).text_color, Rgb(32, 51, 58));
}

// Focus stands for hover only outside hover mode; the 3-D press offset needs a missing image.
TEST(ButtonLook, FocusAndPressOffsetDependOnStyle) {
  ButtonLookInput in;
  in.indices[0] = 0;
  in.indices[2] = 1;
  in.mouse_over = true;
  EXPECT_EQ(ChooseButtonLook(in).image_index, 0);  // not hover mode: the mouse is ignored
  in.focus = true;
  EXPECT_EQ(ChooseButtonLook(in).image_index, 1);
  in.extended_style = kBtnHoverMode;
  in.mouse_over = false;
  EXPECT_EQ(ChooseButtonLook(in).image_index, 0);  // hover mode: focus is ignored

  in.extended_style = kBtn3DBorder;
  in.pressed = true;
  EXPECT_EQ(ChooseButtonLook(in).offset, 1);
  in.indices[1] = 2;
  EXPECT_EQ(ChooseButtonLook(in).offset, 0);
  in.indices[0] = -1;  // nothing at all: no image, default colour
  in.indices[1] = -1;
  in.indices[2] = -1;
  in.pressed = false;
  in.focus = false;
  EXPECT_EQ(ChooseButtonLook(in).image_index, -1);
}

// Fade timing: wrong duration, no end, or a tick-count wrap read as a huge negative time.
TEST(Fade, ProgressOverThreeHundredMilliseconds) {
  EXPECT_EQ(kFadeTimerId, 100u);
  EXPECT_EQ(kFadeTimerIntervalMs, 20u);
  FadeStep step = StepFade(1000, 1000);
  EXPECT_TRUE(step.running);
  EXPECT_FLOAT_EQ(step.progress, 0.0f);
  step = StepFade(1000, 1150);
  EXPECT_TRUE(step.running);
  EXPECT_FLOAT_EQ(step.progress, 0.5f);
  EXPECT_TRUE(StepFade(1000, 1299).running);
  step = StepFade(1000, 1300);
  EXPECT_FALSE(step.running);
  EXPECT_FLOAT_EQ(step.progress, 1.0f);
  step = StepFade(0xFFFFFFF0u, 0x0Au);  // 26 ms across the wrap
  EXPECT_TRUE(step.running);
  EXPECT_FLOAT_EQ(step.progress, 26.0f / 300.0f);
  EXPECT_FALSE(StepFade(0xFFFFFF00u, 0x40u).running);
  EXPECT_EQ(FadeAlpha(0.0f), 0);
  EXPECT_EQ(FadeAlpha(0.5f), 127);  // truncated, not rounded
  EXPECT_EQ(FadeAlpha(1.0f), 255);
}

}  // namespace
}  // namespace kv_skin
