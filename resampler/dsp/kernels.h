// The converter's inner loops, in a scalar reference form and in SSE2 and
// AVX2 forms that compute every output with the same operations in the same
// order, so all three agree bit for bit. No FMA: a fused multiply-add rounds
// once where the reference rounds twice.
#pragma once

#include <cstdint>

#include "resampler/dsp/plan.h"

namespace ksv::resampler::detail {

// The half-band coefficients a1, a3, ..., a15 (odd distances from the centre).
inline constexpr float kHalfBand[8] = {0.630220f, -0.193564f, 0.098039f, -0.053484f,
                                       0.028142f, -0.013438f, 0.005865f, -0.003395f};

// The plan pads every polyphase tap set at its oldest end with zero taps to a
// multiple of kPolyLanes, so each is a whole number of vector steps. Each output
// sums lane j of every step into partial sum j, then folds the partial sums
// as (s0+s4, s1+s5, s2+s6, s3+s7), then (u0+u2, u1+u3), then v0+v1.
inline constexpr int32_t kPolyLanes = kTapGroup;

struct PolyTaps {
  const float* coefficients;  // the plan's padded sets
  const int32_t* offsets;     // where output n's set starts in coefficients
  const int32_t* steps;       // its length / kPolyLanes
  const int32_t* firstInput;  // index into the stage input of its oldest tap
};

struct Kernels {
  // out[n] = 0.5 * (odd[n+7] + sum_i a_i * (even[n+7-i] + even[n+8+i])),
  // the partial sum running from i = 0 up.
  void (*down2)(const float* even, const float* odd, float* out, int32_t count);
  // For each input k (x[-15..-1] are history): out[2k] = sum over m = 1..8 of
  // a_(2m-1) * (x[k-7-m] + x[k-8+m]), from m = 1 up; out[2k+1] = x[k-7].
  void (*up2)(const float* x, float* out, int32_t count);
  void (*poly)(const float* x, const PolyTaps& taps, float* out, int32_t count);
  // 16-bit little-endian output at any byte alignment: right == nullptr
  // writes mono, otherwise interleaves.
  void (*toPcm16)(const float* left, const float* right, uint8_t* out, int32_t count);
};

extern const Kernels kScalarKernels;
#if defined(__x86_64__) || defined(__i386__)
extern const Kernels kSse2Kernels;
extern const Kernels kAvx2Kernels;
#endif

}  // namespace ksv::resampler::detail
