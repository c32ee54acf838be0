// The window's plain rules, tested natively: the percentage label, which messages re-arm idle
// processing, and where the window is placed.
#pragma once

#include <cstdint>
#include <string>

namespace uninstall {

// The percentage label: the percent clamped to 0..100, written as "%" followed by the number.
std::wstring PercentText(int32_t percent);

// Message loop: true when `message` re-arms idle processing (all but mouse moves, paint and the
// system timer).
bool IsIdleMessage(uint32_t message);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Point {
  int32_t x = 0, y = 0;
};

// Top-left corner that centres a window of `width` x `height` on `work`, kept inside it (right
// and bottom edges first, then left and top).
Point CenterInWorkArea(const Rect& work, int32_t width, int32_t height);

}  // namespace uninstall
