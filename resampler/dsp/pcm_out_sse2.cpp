#include <emmintrin.h>

#include "resampler/dsp/kernels.h"
#include "resampler/dsp/kernels_x86.h"

namespace ksv::resampler::detail {

void ToPcm16Sse2(const float* left, const float* right, uint8_t* out, int32_t count) {
  int32_t n = 0;
  for (; n + 8 <= count; n += 8) {
    const __m128i l = _mm_packs_epi32(ToInt16Range(_mm_loadu_ps(left + n)), ToInt16Range(_mm_loadu_ps(left + n + 4)));
    if (!right) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * n), l);
      continue;
    }
    const __m128i r = _mm_packs_epi32(ToInt16Range(_mm_loadu_ps(right + n)), ToInt16Range(_mm_loadu_ps(right + n + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * n), _mm_unpacklo_epi16(l, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * n + 16), _mm_unpackhi_epi16(l, r));
  }
  kScalarKernels.toPcm16(left + n, right ? right + n : nullptr, out + (right ? 4 * n : 2 * n), count - n);
}

}  // namespace ksv::resampler::detail
