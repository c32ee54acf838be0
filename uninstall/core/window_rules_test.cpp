// The window's plain rules: percentage label, idle messages, placement.
#include "core/window_rules.h"

#include <gtest/gtest.h>

namespace {

using namespace uninstall;

// Catches a percent not clamped or the sign on the wrong side.
TEST(PathRules, PercentText) {
  EXPECT_EQ(PercentText(48), L"%48");
  EXPECT_EQ(PercentText(-5), L"%0");
  EXPECT_EQ(PercentText(250), L"%100");
}

// Catches the idle state re-armed by the frequent messages.
TEST(LoopRules, IdleMessages) {
  EXPECT_FALSE(IsIdleMessage(0x0200));
  EXPECT_FALSE(IsIdleMessage(0x00A0));
  EXPECT_FALSE(IsIdleMessage(0x000F));
  EXPECT_FALSE(IsIdleMessage(0x0118));
  EXPECT_TRUE(IsIdleMessage(0x0111));
}

// Catches a window centred off the work area or pushed past its left/top edge.
TEST(LoopRules, CenterInWorkArea) {
  const Point p = CenterInWorkArea({0, 0, 1024, 740}, 640, 390);
  EXPECT_EQ(p.x, 192);
  EXPECT_EQ(p.y, 175);
  const Point big = CenterInWorkArea({100, 50, 600, 450}, 640, 390);
  EXPECT_EQ(big.x, 100);
  EXPECT_EQ(big.y, 55);
}

}  // namespace
