// Mixing captured system sound into the microphone signal, in place, with 16-bit saturation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvel_client {

// Adds `count` source samples into `target` (`targetChannels` and `sourceChannels` each 1 or 2):
// - stereo target, mono source: each source sample is added to both channels of one frame;
// - mono target, stereo source: the average of each source frame (its 32-bit sum shifted right
//   by one) is added to one target sample, for count / 2 frames;
// - same channel count: sample by sample.
// Sums saturate to [-32768, 32767]. The loop stops early rather than read past `sourceLength` or
// write past `targetLength` samples; other channel counts mix nothing. Returns the number of
// target samples changed.
size_t MixSamples(int16_t* target, size_t targetLength, int targetChannels, const int16_t* source,
                  size_t sourceLength, int sourceChannels, size_t count);

}  // namespace corvel_client
