#include "ui/skin/skin_layout.h"

#include <algorithm>

namespace kv_skin {

ProgressPlan PlanProgress(int position) {
  ProgressPlan plan;
  if (position < 0) return plan;
  plan.fill = true;
  // Clamp before multiplying: a stored position is not range-checked, and a large one would
  // overflow position * width.
  const int clamped = std::min(position, 100);
  plan.body_width = std::min(clamped * kProgressWidth / 100, kProgressWidth);
  plan.visible_fill = std::min(kProgressHeadWidth + plan.body_width, kProgressWidth);
  return plan;
}

namespace {

constexpr int kCorner = 4;
constexpr int kSlice = 2;

// Lengths of the slices that cover `length` pixels: 2 while more than 3 remain, then the rest.
std::vector<int> EdgeSlices(int length) {
  std::vector<int> slices;
  while (length > 3) {
    slices.push_back(kSlice);
    length -= kSlice;
  }
  if (length > 0) slices.push_back(length);
  return slices;
}

}  // namespace

std::vector<SlicePiece> PlanNineSlice(int w, int h, int iw, int ih) {
  std::vector<SlicePiece> pieces;
  pieces.push_back({0, 0, 0, 0, kCorner, kCorner});
  pieces.push_back({0, h - kCorner, 0, ih - kCorner, kCorner, kCorner});
  pieces.push_back({w - kCorner, 0, iw - kCorner, 0, kCorner, kCorner});
  pieces.push_back({w - kCorner, h - kCorner, iw - kCorner, ih - kCorner, kCorner, kCorner});

  int y = kCorner;
  for (int rows : EdgeSlices(h - 2 * kCorner)) {
    pieces.push_back({0, y, 0, kCorner, kCorner, rows});
    pieces.push_back({w - kCorner, y, iw - kCorner, kCorner, kCorner, rows});
    y += rows;
  }
  int x = kCorner;
  for (int cols : EdgeSlices(w - 2 * kCorner)) {
    pieces.push_back({x, 0, kCorner, 0, cols, kCorner});
    pieces.push_back({x, h - kCorner, kCorner, ih - kCorner, cols, kCorner});
    x += cols;
  }
  for (x = kCorner; x < w - kCorner; x += kSlice) {
    const int cols = std::min(kSlice, w - kCorner - x);
    for (y = kCorner; y < h - kCorner; y += kSlice) {
      const int rows = std::min(kSlice, h - kCorner - y);
      pieces.push_back({x, y, kCorner, kCorner, cols, rows});
    }
  }
  return pieces;
}

namespace {

struct LookRow {
  ButtonSlot slot;
  uint32_t text_color;
};
// The state table, in the order the conditions are tried (see ChooseButtonLook).
constexpr LookRow kDisabledLook{ButtonSlot::kDisabled, Rgb(220, 245, 232)};
constexpr LookRow kPressedLook{ButtonSlot::kPressed, Rgb(57, 95, 4)};
constexpr LookRow kHoverLook{ButtonSlot::kHover, Rgb(72, 116, 10)};
constexpr LookRow kNormalLook{ButtonSlot::kNormal, Rgb(32, 51, 58)};

int Index(const ButtonLookInput& input, ButtonSlot slot) {
  return input.indices[static_cast<int>(slot)];
}

}  // namespace

ButtonLook ChooseButtonLook(const ButtonLookInput& input) {
  const bool hover_mode = (input.extended_style & kBtnHoverMode) != 0;
  const uint32_t normal_color =
      input.custom_normal_color ? input.normal_color : kNormalLook.text_color;
  LookRow row{ButtonSlot::kNormal, normal_color};
  if (input.disabled) {
    row = kDisabledLook;
  } else if (input.pressed) {
    row = kPressedLook;
  } else if (hover_mode ? input.mouse_over : input.focus) {
    row = kHoverLook;
  }
  ButtonLook look{Index(input, row.slot), row.text_color, 0};
  if (look.image_index == -1) {
    look.image_index = Index(input, ButtonSlot::kNormal);
    look.text_color = normal_color;
  }
  const bool three_d = (input.extended_style & (kBtn3DBorder | kBtn3DBorderEx)) != 0;
  if (input.pressed && three_d && Index(input, ButtonSlot::kPressed) == -1) look.offset = 1;
  return look;
}

FadeStep StepFade(uint32_t start, uint32_t now) {
  const uint32_t elapsed = now - start;
  if (elapsed >= kFadeDurationMs) return {false, 1.0f};
  return {true, static_cast<float>(elapsed) / static_cast<float>(kFadeDurationMs)};
}

uint8_t FadeAlpha(float progress) {
  const float clamped = std::clamp(progress, 0.0f, 1.0f);
  return static_cast<uint8_t>(static_cast<int>(clamped * 255));
}

}  // namespace kv_skin
