// Sixteen-lane AVX2 form of the inverse transform for two blocks at once:
// each 256-bit register holds the same row of both blocks, one per 128-bit
// half, and every step of the eight-lane form (adds, high-half multiplies,
// the 16-bit transpose by unpacking) works within the halves, so each block
// gets exactly the samples the eight-lane form gives it. Built with -mavx2
// and called only where the processor has AVX2.
#include "codec/inverse_transform_x86.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace ksv::codec {

namespace {

inline __m256i Mul(__m256i x, __m256i c) { return _mm256_mulhi_epi16(_mm256_slli_epi16(x, 2), c); }

struct Rows {
  __m256i v[8];
};

inline void Pass(Rows& r) {
  const __m256i k23170 = _mm256_set1_epi16(23170);
  const __m256i kMinus12540 = _mm256_set1_epi16(-12540);
  const __m256i k30273 = _mm256_set1_epi16(30273);
  const __m256i kMinus30353 = _mm256_set1_epi16(-30353);

  __m256i t10 = _mm256_add_epi16(r.v[0], r.v[4]);
  __m256i t11 = _mm256_sub_epi16(r.v[0], r.v[4]);
  __m256i t13 = _mm256_add_epi16(r.v[2], r.v[6]);
  __m256i t12 = _mm256_sub_epi16(Mul(_mm256_sub_epi16(r.v[2], r.v[6]), k23170), t13);
  __m256i t0 = _mm256_add_epi16(t10, t13);
  __m256i t3 = _mm256_sub_epi16(t10, t13);
  __m256i t1 = _mm256_add_epi16(t11, t12);
  __m256i t2 = _mm256_sub_epi16(t11, t12);

  __m256i z13 = _mm256_add_epi16(r.v[5], r.v[3]);
  __m256i z10 = _mm256_sub_epi16(r.v[5], r.v[3]);
  __m256i z11 = _mm256_add_epi16(r.v[1], r.v[7]);
  __m256i z12 = _mm256_sub_epi16(r.v[1], r.v[7]);
  __m256i t7 = _mm256_add_epi16(z11, z13);
  __m256i u11 = Mul(_mm256_sub_epi16(z11, z13), k23170);
  __m256i u12 = _mm256_add_epi16(Mul(z10, kMinus12540), Mul(z12, k30273));
  __m256i u10 = _mm256_add_epi16(Mul(z10, kMinus30353), Mul(z12, kMinus12540));
  __m256i t6 = _mm256_sub_epi16(u12, t7);
  __m256i t5 = _mm256_sub_epi16(u11, t6);
  __m256i t4 = _mm256_add_epi16(u10, t5);

  r.v[0] = _mm256_add_epi16(t0, t7);
  r.v[1] = _mm256_add_epi16(t1, t6);
  r.v[2] = _mm256_add_epi16(t2, t5);
  r.v[3] = _mm256_sub_epi16(t3, t4);
  r.v[4] = _mm256_add_epi16(t3, t4);
  r.v[5] = _mm256_sub_epi16(t2, t5);
  r.v[6] = _mm256_sub_epi16(t1, t6);
  r.v[7] = _mm256_sub_epi16(t0, t7);
}

// An 8 x 8 transpose in each half.
inline void Transpose(Rows& r) {
  __m256i a0 = _mm256_unpacklo_epi16(r.v[0], r.v[1]);
  __m256i a1 = _mm256_unpackhi_epi16(r.v[0], r.v[1]);
  __m256i a2 = _mm256_unpacklo_epi16(r.v[2], r.v[3]);
  __m256i a3 = _mm256_unpackhi_epi16(r.v[2], r.v[3]);
  __m256i a4 = _mm256_unpacklo_epi16(r.v[4], r.v[5]);
  __m256i a5 = _mm256_unpackhi_epi16(r.v[4], r.v[5]);
  __m256i a6 = _mm256_unpacklo_epi16(r.v[6], r.v[7]);
  __m256i a7 = _mm256_unpackhi_epi16(r.v[6], r.v[7]);

  __m256i b0 = _mm256_unpacklo_epi32(a0, a2);
  __m256i b1 = _mm256_unpackhi_epi32(a0, a2);
  __m256i b2 = _mm256_unpacklo_epi32(a1, a3);
  __m256i b3 = _mm256_unpackhi_epi32(a1, a3);
  __m256i b4 = _mm256_unpacklo_epi32(a4, a6);
  __m256i b5 = _mm256_unpackhi_epi32(a4, a6);
  __m256i b6 = _mm256_unpacklo_epi32(a5, a7);
  __m256i b7 = _mm256_unpackhi_epi32(a5, a7);

  r.v[0] = _mm256_unpacklo_epi64(b0, b4);
  r.v[1] = _mm256_unpackhi_epi64(b0, b4);
  r.v[2] = _mm256_unpacklo_epi64(b1, b5);
  r.v[3] = _mm256_unpackhi_epi64(b1, b5);
  r.v[4] = _mm256_unpacklo_epi64(b2, b6);
  r.v[5] = _mm256_unpackhi_epi64(b2, b6);
  r.v[6] = _mm256_unpacklo_epi64(b3, b7);
  r.v[7] = _mm256_unpackhi_epi64(b3, b7);
}

}  // namespace

void InverseTransformPairAvx2(int16_t* first, int16_t* second, const int16_t* multipliers, uint8_t* firstOut,
                              uint8_t* secondOut, ptrdiff_t stride) {
  Rows r;
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 8; ++i) {
    auto* a = reinterpret_cast<__m128i*>(first + i * 8);
    auto* b = reinterpret_cast<__m128i*>(second + i * 8);
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers + i * 8));
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(a)), _mm_loadu_si128(b), 1);
    r.v[i] = _mm256_mullo_epi16(both, _mm256_broadcastsi128_si256(m));
    _mm_storeu_si128(a, zero);
    _mm_storeu_si128(b, zero);
  }
  Pass(r);
  Transpose(r);
  Pass(r);
  Transpose(r);

  const __m256i k128 = _mm256_set1_epi16(128);
  for (int i = 0; i < 8; i += 2) {
    const __m256i a = _mm256_adds_epi16(_mm256_srai_epi16(r.v[i], 5), k128);
    const __m256i b = _mm256_adds_epi16(_mm256_srai_epi16(r.v[i + 1], 5), k128);
    const __m256i packed = _mm256_packus_epi16(a, b);  // per half: row i, then row i + 1
    const __m128i low = _mm256_castsi256_si128(packed), high = _mm256_extracti128_si256(packed, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(firstOut + i * stride), low);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(firstOut + (i + 1) * stride), _mm_srli_si128(low, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(secondOut + i * stride), high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(secondOut + (i + 1) * stride), _mm_srli_si128(high, 8));
  }
  _mm256_zeroupper();
}

}  // namespace ksv::codec
#endif
