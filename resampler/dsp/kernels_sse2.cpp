// SSE2 forms of the inner loops: four outputs per step for the half-band
// stages and the 16-bit output, two four-lane partial sums per polyphase
// output. Tails run the scalar reference, which computes the same thing.
#include <emmintrin.h>

#include "resampler/dsp/kernels.h"
#include "resampler/dsp/kernels_x86.h"

namespace ksv::resampler::detail {
namespace {

void Down2(const float* even, const float* odd, float* out, int32_t count) {
  int32_t n = 0;
  for (; n + 4 <= count; n += 4) {
    __m128 acc = _mm_mul_ps(_mm_set1_ps(kHalfBand[0]), _mm_add_ps(_mm_loadu_ps(even + n + 7), _mm_loadu_ps(even + n + 8)));
    for (int i = 1; i < 8; ++i) {
      const __m128 pair = _mm_add_ps(_mm_loadu_ps(even + n + 7 - i), _mm_loadu_ps(even + n + 8 + i));
      acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(kHalfBand[i]), pair));
    }
    _mm_storeu_ps(out + n, _mm_mul_ps(_mm_set1_ps(0.5f), _mm_add_ps(_mm_loadu_ps(odd + n + 7), acc)));
  }
  kScalarKernels.down2(even + n, odd + n, out + n, count - n);
}

void Up2(const float* x, float* out, int32_t count) {
  int32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m128 centre = _mm_loadu_ps(x + k - 7);
    __m128 acc = _mm_mul_ps(_mm_set1_ps(kHalfBand[0]), _mm_add_ps(_mm_loadu_ps(x + k - 8), centre));
    for (int m = 2; m <= 8; ++m) {
      const __m128 pair = _mm_add_ps(_mm_loadu_ps(x + k - 7 - m), _mm_loadu_ps(x + k - 8 + m));
      acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(kHalfBand[m - 1]), pair));
    }
    _mm_storeu_ps(out + 2 * k, _mm_unpacklo_ps(acc, centre));
    _mm_storeu_ps(out + 2 * k + 4, _mm_unpackhi_ps(acc, centre));
  }
  kScalarKernels.up2(x + k, out + 2 * k, count - k);
}

void Poly(const float* x, const PolyTaps& taps, float* out, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    const float* c = taps.coefficients + taps.offsets[n];
    const float* in = x + taps.firstInput[n];
    __m128 lo = _mm_setzero_ps(), hi = _mm_setzero_ps();
    for (int32_t step = 0; step < taps.steps[n]; ++step, c += kPolyLanes, in += kPolyLanes) {
      lo = _mm_add_ps(lo, _mm_mul_ps(_mm_loadu_ps(c), _mm_loadu_ps(in)));
      hi = _mm_add_ps(hi, _mm_mul_ps(_mm_loadu_ps(c + 4), _mm_loadu_ps(in + 4)));
    }
    _mm_store_ss(out + n, FoldFour(_mm_add_ps(lo, hi)));
  }
}

}  // namespace

const Kernels kSse2Kernels = {Down2, Up2, Poly, ToPcm16Sse2};

}  // namespace ksv::resampler::detail
