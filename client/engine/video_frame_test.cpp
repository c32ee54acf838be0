#include "engine/video_frame.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace {

using corvel_client::CopyPlanarFrame;
using corvel_client::FrameByteSize;

// Catches sizes computed with overflow, accepted for negative dimensions, or refused for a side
// of 0 (a frame of 0 bytes).
TEST(VideoFrameTest, ByteSizeOfValidAndRefusedFrames) {
  EXPECT_EQ(FrameByteSize(1280, 720), 1382400);
  EXPECT_EQ(FrameByteSize(4096, 2160), 13271040);
  EXPECT_EQ(FrameByteSize(5, 3), 22);
  EXPECT_EQ(FrameByteSize(1, 1), 1);
  EXPECT_EQ(FrameByteSize(0, 720), 0);
  EXPECT_EQ(FrameByteSize(0, 0), 0);
  EXPECT_EQ(FrameByteSize(0, -1), -1);
  EXPECT_EQ(FrameByteSize(1280, -1), -1);
  EXPECT_EQ(FrameByteSize(46341, 46341), -1);          // 3 * w * h / 2 is above INT32_MAX
  EXPECT_EQ(FrameByteSize(37837, 37837), 2147457853);  // 3 * w * h alone overflows 32 bits
  EXPECT_EQ(FrameByteSize(1431655765, 1), INT32_MAX);  // the largest size that fits
  EXPECT_EQ(FrameByteSize(1431655766, 1), -1);
}

// Catches the size arithmetic itself overflowing (undefined behaviour) when both dimensions are
// near INT32_MAX: 3 * w * h then exceeds even 64 bits.
TEST(VideoFrameTest, HugeDimensionsAreRefusedWithoutOverflow) {
  EXPECT_EQ(FrameByteSize(INT32_MAX, INT32_MAX), -1);
  EXPECT_EQ(FrameByteSize(1795162374, 1845496587), -1);
}

// Catches plane offsets, row lengths or stride steps that differ from the I420 layout, for an
// odd size where the V plane starts after a gap.
TEST(VideoFrameTest, CopiesOddSizedFrameWithStrides) {
  // 5 x 3: Y 5 x 3 at 0, U 2 x 1 at 15, V 2 x 1 at 15 + (2 * 3) / 2 = 18.
  const std::vector<uint8_t> y = {1, 2, 3, 4, 5, 99, 6, 7, 8, 9, 10, 99, 11, 12, 13, 14, 15, 99};
  const std::vector<uint8_t> u = {21, 22, 99, 99};
  const std::vector<uint8_t> v = {31, 32, 99};
  std::vector<uint8_t> out(22, 0);
  CopyPlanarFrame(out.data(), 5, 3, y.data(), 6, u.data(), 4, v.data(), 3);
  EXPECT_EQ(out, (std::vector<uint8_t>{1,  2,  3,  4,  5,  6,  7, 8,  9,  10, 11,
                                       12, 13, 14, 15, 21, 22, 0, 31, 32, 0,  0}));
}

// Catches a contiguous fast path that copies the wrong amount when strides equal widths.
TEST(VideoFrameTest, CopiesContiguousEvenFrame) {
  std::vector<uint8_t> y(16), u(4), v(4);
  for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<uint8_t>(100 + i);
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(200 + i);
  std::vector<uint8_t> out(24, 0);
  CopyPlanarFrame(out.data(), 4, 4, y.data(), 4, u.data(), 2, v.data(), 2);
  std::vector<uint8_t> expected = y;
  expected.insert(expected.end(), u.begin(), u.end());
  expected.insert(expected.end(), v.begin(), v.end());
  EXPECT_EQ(out, expected);
}

}  // namespace
