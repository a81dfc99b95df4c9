// Eight-lane SSE2 form of the inverse transform: the column pass runs on all
// eight columns at once, then the block is transposed and the same code runs
// on all eight rows.
#include "codec/inverse_transform.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace ksv::codec {

namespace {

inline __m128i Mul(__m128i x, __m128i c) { return _mm_mulhi_epi16(_mm_slli_epi16(x, 2), c); }

struct Rows {
  __m128i v[8];
};

inline void Pass(Rows& r) {
  const __m128i k23170 = _mm_set1_epi16(23170);
  const __m128i kMinus12540 = _mm_set1_epi16(-12540);
  const __m128i k30273 = _mm_set1_epi16(30273);
  const __m128i kMinus30353 = _mm_set1_epi16(-30353);

  __m128i t10 = _mm_add_epi16(r.v[0], r.v[4]);
  __m128i t11 = _mm_sub_epi16(r.v[0], r.v[4]);
  __m128i t13 = _mm_add_epi16(r.v[2], r.v[6]);
  __m128i t12 = _mm_sub_epi16(Mul(_mm_sub_epi16(r.v[2], r.v[6]), k23170), t13);
  __m128i t0 = _mm_add_epi16(t10, t13);
  __m128i t3 = _mm_sub_epi16(t10, t13);
  __m128i t1 = _mm_add_epi16(t11, t12);
  __m128i t2 = _mm_sub_epi16(t11, t12);

  __m128i z13 = _mm_add_epi16(r.v[5], r.v[3]);
  __m128i z10 = _mm_sub_epi16(r.v[5], r.v[3]);
  __m128i z11 = _mm_add_epi16(r.v[1], r.v[7]);
  __m128i z12 = _mm_sub_epi16(r.v[1], r.v[7]);
  __m128i t7 = _mm_add_epi16(z11, z13);
  __m128i u11 = Mul(_mm_sub_epi16(z11, z13), k23170);
  __m128i u12 = _mm_add_epi16(Mul(z10, kMinus12540), Mul(z12, k30273));
  __m128i u10 = _mm_add_epi16(Mul(z10, kMinus30353), Mul(z12, kMinus12540));
  __m128i t6 = _mm_sub_epi16(u12, t7);
  __m128i t5 = _mm_sub_epi16(u11, t6);
  __m128i t4 = _mm_add_epi16(u10, t5);

  r.v[0] = _mm_add_epi16(t0, t7);
  r.v[1] = _mm_add_epi16(t1, t6);
  r.v[2] = _mm_add_epi16(t2, t5);
  r.v[3] = _mm_sub_epi16(t3, t4);
  r.v[4] = _mm_add_epi16(t3, t4);
  r.v[5] = _mm_sub_epi16(t2, t5);
  r.v[6] = _mm_sub_epi16(t1, t6);
  r.v[7] = _mm_sub_epi16(t0, t7);
}

inline void Transpose(Rows& r) {
  __m128i a0 = _mm_unpacklo_epi16(r.v[0], r.v[1]);
  __m128i a1 = _mm_unpackhi_epi16(r.v[0], r.v[1]);
  __m128i a2 = _mm_unpacklo_epi16(r.v[2], r.v[3]);
  __m128i a3 = _mm_unpackhi_epi16(r.v[2], r.v[3]);
  __m128i a4 = _mm_unpacklo_epi16(r.v[4], r.v[5]);
  __m128i a5 = _mm_unpackhi_epi16(r.v[4], r.v[5]);
  __m128i a6 = _mm_unpacklo_epi16(r.v[6], r.v[7]);
  __m128i a7 = _mm_unpackhi_epi16(r.v[6], r.v[7]);

  __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  __m128i b7 = _mm_unpackhi_epi32(a5, a7);

  r.v[0] = _mm_unpacklo_epi64(b0, b4);
  r.v[1] = _mm_unpackhi_epi64(b0, b4);
  r.v[2] = _mm_unpacklo_epi64(b1, b5);
  r.v[3] = _mm_unpackhi_epi64(b1, b5);
  r.v[4] = _mm_unpacklo_epi64(b2, b6);
  r.v[5] = _mm_unpackhi_epi64(b2, b6);
  r.v[6] = _mm_unpacklo_epi64(b3, b7);
  r.v[7] = _mm_unpackhi_epi64(b3, b7);
}

void InverseTransformSse2(int16_t* coefficients, const int16_t* multipliers, uint8_t* out,
                          ptrdiff_t stride) {
  Rows r;
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 8; ++i) {
    auto* row = reinterpret_cast<__m128i*>(coefficients + i * 8);
    __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers + i * 8));
    r.v[i] = _mm_mullo_epi16(_mm_loadu_si128(row), m);
    _mm_storeu_si128(row, zero);
  }
  Pass(r);       // columns: lane = column, v[i] = row i
  Transpose(r);  // lane = row, v[j] = column j
  Pass(r);       // rows: v[j] = output column j, lane = row
  Transpose(r);  // v[i] = output row i

  const __m128i k128 = _mm_set1_epi16(128);
  for (int i = 0; i < 8; i += 2) {
    __m128i a = _mm_adds_epi16(_mm_srai_epi16(r.v[i], 5), k128);
    __m128i b = _mm_adds_epi16(_mm_srai_epi16(r.v[i + 1], 5), k128);
    __m128i packed = _mm_packus_epi16(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), packed);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (i + 1) * stride), _mm_srli_si128(packed, 8));
  }
}

}  // namespace

const InverseTransformFn InverseTransformSimd = InverseTransformSse2;
const InverseTransformFn InverseTransform = InverseTransformSse2;

}  // namespace ksv::codec
#endif
