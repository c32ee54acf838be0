#include "core/window_rules.h"

#include <algorithm>

namespace uninstall {

std::wstring PercentText(int32_t percent) {
  return L"%" + std::to_wstring(std::clamp<int32_t>(percent, 0, 100));
}

bool IsIdleMessage(uint32_t message) {
  constexpr uint32_t kMouseMove = 0x0200, kNcMouseMove = 0x00A0, kPaint = 0x000F,
                     kSystemTimer = 0x0118;
  return message != kMouseMove && message != kNcMouseMove && message != kPaint &&
         message != kSystemTimer;
}

Point CenterInWorkArea(const Rect& work, int32_t width, int32_t height) {
  Point p{(work.left + work.right) / 2 - width / 2, (work.top + work.bottom) / 2 - height / 2};
  if (p.x + width > work.right) p.x = work.right - width;
  if (p.y + height > work.bottom) p.y = work.bottom - height;
  if (p.x < work.left) p.x = work.left;
  if (p.y < work.top) p.y = work.top;
  return p;
}

}  // namespace uninstall
