#include "frames.h"

#include <cstring>

#include <gtest/gtest.h>

namespace kv_sim {
namespace {

// The documented pattern is what e2e expectations are computed from; a drift breaks them all.
TEST(FramesTest, PlanarPatternMatchesItsFormula) {
  const PlanarFrame frame = MakePlanarFrame(6, 4, 3, 2);
  EXPECT_EQ(frame.yStride, 8);
  EXPECT_EQ(frame.uStride, 5);
  EXPECT_EQ(frame.y[1 * 8 + 2], static_cast<uint8_t>(2 + 1 + 3));
  EXPECT_EQ(frame.y[1 * 8 + 6], 0xEE);  // padding
  EXPECT_EQ(frame.u[1 * 5 + 2], static_cast<uint8_t>(64 + 2 + 3));
  EXPECT_EQ(frame.v[1 * 5 + 2], static_cast<uint8_t>(192 + 1 + 3));
  // Values wrap at 256.
  EXPECT_EQ(MakePlanarFrame(300, 2, 0, 0).y[299], static_cast<uint8_t>(299));
}

// Odd sizes round the chroma planes up, so readers of width/2 x height/2 stay inside them.
TEST(FramesTest, OddSizesAndEmptySizesStayReadable) {
  const PlanarFrame odd = MakePlanarFrame(5, 3, 0, 0);
  EXPECT_EQ(odd.uStride, 3);
  EXPECT_EQ(odd.u.size(), 3u * 2u);
  const PlanarFrame none = MakePlanarFrame(0, -4, 0, 0);
  EXPECT_EQ(none.y.size(), 1u);
  EXPECT_TRUE(MakePackedFrame(-5, 0).empty());
}

// Sizes whose arithmetic would overflow 32 (or 64) bits are refused, never computed: the
// hostile simulate with a width of 2147483647 ended the process through a signed overflow.
TEST(FramesTest, OverflowingSizesAreRefusedWithoutOverflow) {
  constexpr int32_t kMax = 2147483647;
  EXPECT_EQ(PlanarFrameBytes(kMax, 1, 0, kMaxPlanarBytes), -1);
  EXPECT_EQ(PlanarFrameBytes(kMax, kMax, kMax, int64_t{1} << 62), -1);
  EXPECT_EQ(PlanarFrameBytes(1, kMax, kMax, kMaxPlanarBytes), -1);
  EXPECT_EQ(PlanarFrameBytes(0, 5, 0, kMaxPlanarBytes), -1);
  EXPECT_EQ(PlanarFrameBytes(6, 4, 2, kMaxPlanarBytes), 8 * 4 + 2 * 5 * 2);
  EXPECT_EQ(PlanarFrameBytes(6, 4, 2, 51), -1);  // 52 bytes do not fit in 51
  const PlanarFrame refused = MakePlanarFrame(kMax, 2, kMax, kMax);
  EXPECT_EQ(refused.y.size(), 1u);
  EXPECT_TRUE(CompactI420(refused, kMax, 2).empty());
  // Any frame number: the pattern wraps.
  EXPECT_EQ(MakePlanarFrame(2, 2, kMax, 0).y[3], static_cast<uint8_t>(1u + 1u + 2147483647u));
}

// Compacting skips row padding; what a correct receiver copies has no 0xEE byte in it.
TEST(FramesTest, CompactFrameDropsPadding) {
  const PlanarFrame frame = MakePlanarFrame(4, 2, 0, 7);
  const std::vector<uint8_t> compact = CompactI420(frame, 4, 2);
  ASSERT_EQ(compact.size(), 12u);
  const std::vector<uint8_t> expected = {0, 1, 2, 3, 1, 2, 3, 4, 64, 65, 192, 192};
  EXPECT_EQ(compact, expected);
}

// Reference values of 32-bit FNV-1a (the console prints frames as size and this hash).
TEST(FramesTest, Fnv1aKnownValues) {
  EXPECT_EQ(Fnv1a(nullptr, 0), 0x811c9dc5u);
  EXPECT_EQ(Fnv1a(reinterpret_cast<const uint8_t*>("a"), 1), 0xe40c292cu);
  EXPECT_EQ(Fnv1a(reinterpret_cast<const uint8_t*>("foobar"), 6), 0xbf9cf968u);
}

// Packed bytes follow k mod 251, shifted by the frame number.
TEST(FramesTest, PackedPattern) {
  const std::vector<uint8_t> bytes = MakePackedFrame(300, 2);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[249], 0);
  EXPECT_EQ(bytes[299], static_cast<uint8_t>(301 % 251));
}

}  // namespace
}  // namespace kv_sim
