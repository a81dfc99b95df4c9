// AVX2 forms of the inner loops (compiled with -mavx2 and without FMA, run
// only on processors that have AVX2): eight outputs per step for the
// half-band stages, one eight-lane partial sum per polyphase output.
#include <immintrin.h>

#include "resampler/dsp/kernels.h"
#include "resampler/dsp/kernels_x86.h"

namespace ksv::resampler::detail {
namespace {

void Down2(const float* even, const float* odd, float* out, int32_t count) {
  int32_t n = 0;
  for (; n + 8 <= count; n += 8) {
    __m256 acc = _mm256_mul_ps(_mm256_set1_ps(kHalfBand[0]),
                               _mm256_add_ps(_mm256_loadu_ps(even + n + 7), _mm256_loadu_ps(even + n + 8)));
    for (int i = 1; i < 8; ++i) {
      const __m256 pair = _mm256_add_ps(_mm256_loadu_ps(even + n + 7 - i), _mm256_loadu_ps(even + n + 8 + i));
      acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_set1_ps(kHalfBand[i]), pair));
    }
    _mm256_storeu_ps(out + n, _mm256_mul_ps(_mm256_set1_ps(0.5f), _mm256_add_ps(_mm256_loadu_ps(odd + n + 7), acc)));
  }
  kSse2Kernels.down2(even + n, odd + n, out + n, count - n);
}

void Up2(const float* x, float* out, int32_t count) {
  int32_t k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256 centre = _mm256_loadu_ps(x + k - 7);
    __m256 acc = _mm256_mul_ps(_mm256_set1_ps(kHalfBand[0]), _mm256_add_ps(_mm256_loadu_ps(x + k - 8), centre));
    for (int m = 2; m <= 8; ++m) {
      const __m256 pair = _mm256_add_ps(_mm256_loadu_ps(x + k - 7 - m), _mm256_loadu_ps(x + k - 8 + m));
      acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_set1_ps(kHalfBand[m - 1]), pair));
    }
    const __m256 lo = _mm256_unpacklo_ps(acc, centre), hi = _mm256_unpackhi_ps(acc, centre);
    _mm256_storeu_ps(out + 2 * k, _mm256_permute2f128_ps(lo, hi, 0x20));
    _mm256_storeu_ps(out + 2 * k + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
  }
  kSse2Kernels.up2(x + k, out + 2 * k, count - k);
}

void Poly(const float* x, const PolyTaps& taps, float* out, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    const float* c = taps.coefficients + taps.offsets[n];
    const float* in = x + taps.firstInput[n];
    __m256 acc = _mm256_setzero_ps();
    for (int32_t step = 0; step < taps.steps[n]; ++step, c += kPolyLanes, in += kPolyLanes)
      acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_loadu_ps(c), _mm256_loadu_ps(in)));
    const __m128 u = _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1));
    _mm_store_ss(out + n, FoldFour(u));
  }
}

}  // namespace

const Kernels kAvx2Kernels = {Down2, Up2, Poly, ToPcm16Sse2};

}  // namespace ksv::resampler::detail
