// Plain computations behind the skinned controls: the progress bar's pieces, the nine-slice plan
// of the image button, its state-to-look table and the timing of its hover cross-fade. The window
// classes only execute these plans with GDI calls.
#pragma once

#include <cstdint>
#include <vector>

namespace kv_skin {

// COLORREF layout (red in the lowest byte), without <windows.h>.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// ---- Progress bar -------------------------------------------------------------------------------

constexpr int kProgressWidth = 546;  // the track image and the control are this wide
constexpr int kProgressHeight = 9;
constexpr int kProgressHeadWidth = 5;  // fill image columns 0-4; column 5 is stretched as the body

// What DrawProgress draws for a position (any value; the range is 0 ... 100).
struct ProgressPlan {
  bool fill = false;     // head and body are drawn (position >= 0)
  int body_width = 0;    // column 5 of the fill image stretched this wide, right of the head
  int visible_fill = 0;  // fill pixels left visible once clipped to the control's width
};
ProgressPlan PlanProgress(int position);

// ---- Nine-slice tiling --------------------------------------------------------------------------

// One copy from the image (src) to the destination area (dst), both relative to their top left.
struct SlicePiece {
  int dst_x = 0;
  int dst_y = 0;
  int src_x = 0;
  int src_y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const SlicePiece& o) const {
    return dst_x == o.dst_x && dst_y == o.dst_y && src_x == o.src_x && src_y == o.src_y &&
           width == o.width && height == o.height;
  }
};

// Pieces that cover a dst_width x dst_height area with an image_width x image_height image: 4 x 4
// corners, edges tiled from 2-pixel slices next to the corners, centre tiled from the 2 x 2 block
// at (4, 4). In drawing order: corners, left/right edges, top/bottom edges, centre.
std::vector<SlicePiece> PlanNineSlice(int dst_width, int dst_height, int image_width,
                                      int image_height);

// ---- Button look --------------------------------------------------------------------------------

// Image-list slots; the image list holds normal, hover, pressed, disabled at 0, 1, 2, 3.
enum class ButtonSlot { kNormal, kPressed, kHover, kDisabled };

// Extended style bits of the image button.
enum ButtonExtendedStyle : uint32_t {
  kBtnHoverMode = 0x1,
  kBtn3DBorder = 0x2,
  kBtn3DBorderEx = 0x4,
  kBtnAutoSize = 0x8,
  kBtnSharedImages = 0x10,
  kBtnAutoRepeat = 0x20,
  kBtnCheckMode = 0x40,
};

struct ButtonLookInput {
  bool disabled = false;
  bool pressed = false;
  bool mouse_over = false;
  bool focus = false;
  uint32_t extended_style = 0;
  int indices[4] = {-1, -1, -1, -1};  // by ButtonSlot: normal, pressed, hover, disabled
  bool custom_normal_color = false;
  uint32_t normal_color = 0;
};

struct ButtonLook {
  int image_index = -1;  // -1: no image for this state nor for normal
  uint32_t text_color = 0;
  int offset = 0;  // image shift for a pressed 3-D button without its own pressed image
};

// The first matching row of the state table wins; a slot without an image falls back to the
// normal image and the normal text colour.
ButtonLook ChooseButtonLook(const ButtonLookInput& input);

// ---- Hover cross-fade ---------------------------------------------------------------------------

constexpr unsigned kFadeTimerId = 100;
constexpr unsigned kFadeTimerIntervalMs = 20;
constexpr uint32_t kFadeDurationMs = 300;

struct FadeStep {
  bool running = false;   // false once the fade has reached its end
  float progress = 0.0f;  // 0.0 ... 1.0
};
// Progress of a fade started at tick `start` when the clock reads `now` (wrap-around safe).
FadeStep StepFade(uint32_t start, uint32_t now);

// Constant alpha for blending the target look over the source look.
uint8_t FadeAlpha(float progress);

}  // namespace kv_skin
