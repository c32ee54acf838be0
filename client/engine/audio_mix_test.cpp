#include "engine/audio_mix.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

using corvel_client::MixSamples;

// Catches a wrong mono-from-stereo average (sum, shift, rounding of negatives).
TEST(AudioMixTest, MonoTargetGetsAverageOfStereoFrames) {
  std::vector<int16_t> target = {100, -100};
  const std::vector<int16_t> source = {10, 20, 30, 40};
  EXPECT_EQ(MixSamples(target.data(), 2, 1, source.data(), 4, 2, 4), 2u);
  EXPECT_EQ(target, (std::vector<int16_t>{115, -65}));

  std::vector<int16_t> negative = {0};
  const std::vector<int16_t> odd = {-3, 0};
  MixSamples(negative.data(), 1, 1, odd.data(), 2, 2, 2);
  EXPECT_EQ(negative[0], -2);  // arithmetic shift of -3
}

// Catches a mono source added to one channel only, or to the wrong frame.
TEST(AudioMixTest, StereoTargetGetsMonoSampleOnBothChannels) {
  std::vector<int16_t> target = {1, 2, 3, 4, 5, 6};
  const std::vector<int16_t> source = {10, 20, 30};
  EXPECT_EQ(MixSamples(target.data(), 6, 2, source.data(), 3, 1, 3), 6u);
  EXPECT_EQ(target, (std::vector<int16_t>{11, 12, 23, 24, 35, 36}));
}

// Catches sample-by-sample mixing that skips or shifts samples when the layouts match.
TEST(AudioMixTest, SameChannelsAddSampleBySample) {
  std::vector<int16_t> target = {1, 2, 3, 4};
  const std::vector<int16_t> source = {10, 20, 30, 40};
  EXPECT_EQ(MixSamples(target.data(), 4, 2, source.data(), 4, 2, 4), 4u);
  EXPECT_EQ(target, (std::vector<int16_t>{11, 22, 33, 44}));
}

// Catches wrap-around instead of saturation at either limit, in every channel case.
TEST(AudioMixTest, SumsSaturateAtBothLimits) {
  std::vector<int16_t> target = {32000, -32000, 32767, -32768};
  const std::vector<int16_t> source = {1000, -1000, 0, -1};
  MixSamples(target.data(), 4, 1, source.data(), 4, 1, 4);
  EXPECT_EQ(target, (std::vector<int16_t>{32767, -32768, 32767, -32768}));

  std::vector<int16_t> stereo = {32767, 32760, -32768, -32760};
  const std::vector<int16_t> mono = {10, -10};
  MixSamples(stereo.data(), 4, 2, mono.data(), 2, 1, 2);
  EXPECT_EQ(stereo, (std::vector<int16_t>{32767, 32767, -32768, -32768}));

  std::vector<int16_t> mixedDown = {32767, -32768};
  const std::vector<int16_t> loud = {32767, 32767, -32768, -32768};
  MixSamples(mixedDown.data(), 2, 1, loud.data(), 4, 2, 4);
  EXPECT_EQ(mixedDown, (std::vector<int16_t>{32767, -32768}));
}

// Catches a fast path for long same-layout blocks that wraps, skips the tail or differs from the
// clamped 32-bit sum anywhere.
TEST(AudioMixTest, LongBlocksMatchTheClampedSum) {
  std::vector<int16_t> target(21), source(21), expected(21);
  for (size_t i = 0; i < target.size(); ++i) {
    target[i] = static_cast<int16_t>(i % 3 == 0 ? 32000 : (i % 3 == 1 ? -32000 : 5 * i));
    source[i] = static_cast<int16_t>(i % 2 == 0 ? 1500 : -1500);
    const int32_t sum = int32_t{target[i]} + source[i];
    expected[i] = static_cast<int16_t>(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
  }
  EXPECT_EQ(MixSamples(target.data(), 21, 2, source.data(), 21, 2, 21), 21u);
  EXPECT_EQ(target, expected);
}

// Catches reads past a short source, writes past a short target, and mixing with channel counts
// the mixer does not know (ASan reports the overruns).
TEST(AudioMixTest, StopsAtTheShorterBufferAndRejectsOtherChannelCounts) {
  std::vector<int16_t> target(8, 0);
  const std::vector<int16_t> source = {1, 2};
  EXPECT_EQ(MixSamples(target.data(), 8, 2, source.data(), 2, 2, 8), 2u);
  EXPECT_EQ(target, (std::vector<int16_t>{1, 2, 0, 0, 0, 0, 0, 0}));

  std::vector<int16_t> small(2, 0);
  const std::vector<int16_t> big(16, 5);
  EXPECT_EQ(MixSamples(small.data(), 2, 1, big.data(), 16, 2, 16), 2u);
  EXPECT_EQ(MixSamples(small.data(), 2, 2, big.data(), 16, 1, 16), 2u);
  EXPECT_EQ(MixSamples(small.data(), 2, 3, big.data(), 16, 2, 2), 0u);
  EXPECT_EQ(MixSamples(small.data(), 2, 1, big.data(), 16, 0, 2), 0u);
}

}  // namespace
