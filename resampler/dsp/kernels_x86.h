// Pieces the SSE2 and AVX2 kernels share (SSE2 only, so both may include it;
// static, so the AVX2 unit's copies never stand in for the SSE2 ones).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace ksv::resampler::detail {

// (u0 + u2) + (u1 + u3), the last two folds of a polyphase sum.
static inline __m128 FoldFour(__m128 u) {
  const __m128 v = _mm_add_ps(u, _mm_movehl_ps(u, u));
  return _mm_add_ss(v, _mm_shuffle_ps(v, v, 1));
}

// Four floats to 16-bit: rounded to nearest even (the processor's default
// mode, as lrintf), 32767.0 or more in magnitude saturating by sign.
static inline __m128i ToInt16Range(__m128 v) {
  const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
  const __m128i saturate = _mm_castps_si128(_mm_cmpge_ps(magnitude, _mm_set1_ps(32767.0f)));
  const __m128i positive = _mm_castps_si128(_mm_cmpge_ps(v, _mm_setzero_ps()));
  const __m128i limit = _mm_or_si128(_mm_and_si128(positive, _mm_set1_epi32(32767)),
                                     _mm_andnot_si128(positive, _mm_set1_epi32(-32768)));
  return _mm_or_si128(_mm_and_si128(saturate, limit), _mm_andnot_si128(saturate, _mm_cvtps_epi32(v)));
}

void ToPcm16Sse2(const float* left, const float* right, uint8_t* out, int32_t count);

}  // namespace ksv::resampler::detail
