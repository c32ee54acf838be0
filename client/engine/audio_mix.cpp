#include "audio_mix.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvel_client {
namespace {

inline int16_t Saturate(int32_t sum) {
  return static_cast<int16_t>(std::min<int32_t>(32767, std::max<int32_t>(-32768, sum)));
}

}  // namespace

size_t MixSamples(int16_t* target, size_t targetLength, int targetChannels, const int16_t* source,
                  size_t sourceLength, int sourceChannels, size_t count) {
  const bool valid =
      (targetChannels == 1 || targetChannels == 2) && (sourceChannels == 1 || sourceChannels == 2);
  if (!valid || target == nullptr || source == nullptr) return 0;

  if (targetChannels == 2 && sourceChannels == 1) {
    const size_t n = std::min({count, sourceLength, targetLength / 2});
    for (size_t i = 0; i < n; ++i) {
      target[2 * i] = Saturate(int32_t{target[2 * i]} + source[i]);
      target[2 * i + 1] = Saturate(int32_t{target[2 * i + 1]} + source[i]);
    }
    return 2 * n;
  }
  if (targetChannels == 1 && sourceChannels == 2) {
    const size_t n = std::min({count / 2, sourceLength / 2, targetLength});
    for (size_t i = 0; i < n; ++i) {
      const int32_t average = (int32_t{source[2 * i]} + source[2 * i + 1]) >> 1;
      target[i] = Saturate(int32_t{target[i]} + average);
    }
    return n;
  }
  const size_t n = std::min({count, sourceLength, targetLength});
  size_t i = 0;
#if defined(__SSE2__)
  // The common case (stereo into stereo, every 10 ms): a saturating 16-bit add is exactly the
  // 32-bit sum clamped to 16 bits, eight samples at a time.
  for (; i + 8 <= n; i += 8) {
    const __m128i sum =
        _mm_adds_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), sum);
  }
#endif
  for (; i < n; ++i) target[i] = Saturate(int32_t{target[i]} + source[i]);
  return n;
}

}  // namespace corvel_client
