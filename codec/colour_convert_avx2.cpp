// AVX2 colour conversion: 32 pixels a step, the same arithmetic as the
// SSE kernels in sixteen lanes (so the same bytes), packed to 3 bytes with
// the SSSE3 byte shuffles on each half. Built with -mavx2 and chosen at run
// time only where the processor has it.
#include "codec/colour_convert_x86.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "codec/colour_kernels_x86.h"

namespace ksv::codec {
namespace {

// Shuffles that interleave 16 first-channel, 16 green and 16 third-channel
// bytes into 48 bytes of packed pixels: [output vector][channel].
struct ShuffleMasks {
  alignas(16) int8_t m[3][3][16];
};
constexpr ShuffleMasks kShuffle = [] {
  ShuffleMasks s{};
  for (int v = 0; v < 3; ++v)
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 16; ++i) {
        int j = v * 16 + i;
        s.m[v][c][i] = static_cast<int8_t>(j % 3 == c ? j / 3 : -128);
      }
  return s;
}();

struct InterleaveShuffle {
  static void Store48(__m128i c0, __m128i c1, __m128i c2, uint8_t* out) {
    for (int v = 0; v < 3; ++v) {
      auto mask = [&](int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.m[v][c])); };
      __m128i x = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(c0, mask(0)), _mm_shuffle_epi8(c1, mask(1))),
                               _mm_shuffle_epi8(c2, mask(2)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + v, x);
    }
  }
};

struct ChromaOffsets16 {
  __m256i r, g, b;  // sixteen groups, in order
};

template <ColourForm kForm>
inline ChromaOffsets16 Offsets16(const uint8_t* cbRow, const uint8_t* crRow) {
  const __m256i k128 = _mm256_set1_epi16(128);
  const __m256i db = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cbRow))), k128);
  const __m256i dr = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(crRow))), k128);
  ChromaOffsets16 o;
  o.r = _mm256_add_epi16(dr, _mm256_mulhi_epi16(dr, _mm256_set1_epi16(26345)));
  o.b = _mm256_add_epi16(_mm256_add_epi16(db, db), _mm256_mulhi_epi16(db, _mm256_set1_epi16(-14943)));
  if constexpr (kForm == ColourForm::kDirect) {
    const __m256i gb = _mm256_mulhi_epi16(db, _mm256_set1_epi16(22554));
    const __m256i gr = _mm256_add_epi16(dr, _mm256_mulhi_epi16(dr, _mm256_set1_epi16(-18734)));
    o.g = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_setzero_si256(), gb), gr);
  } else {
    const __m256i k = _mm256_setr_epi16(-22553, 18735, -22553, 18735, -22553, 18735, -22553, 18735, -22553, 18735,
                                        -22553, 18735, -22553, 18735, -22553, 18735);
    // Unpacking and packing both stay within each half: the order comes back.
    const __m256i lo = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(db, dr), k), 16);
    const __m256i hi = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(db, dr), k), 16);
    o.g = _mm256_sub_epi16(_mm256_packs_epi32(lo, hi), dr);
  }
  return o;
}

// 32 pixels of one row: luma + offsets (pixel x uses group x / 2), saturated.
inline void Pixels32(const uint8_t* y, const ChromaOffsets16& o, bool rgbOrder, uint8_t* out) {
  const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
  const __m256i lo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(luma));       // pixels 0-15
  const __m256i hi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(luma, 1));  // pixels 16-31
  auto channel = [&](__m256i offsets) {
    // Groups 0-3 and 8-11 in the low half, 4-7 and 12-15 in the high one,
    // so that doubling each within its half gives pixels 0-15 and 16-31.
    const __m256i spread = _mm256_permute4x64_epi64(offsets, 0xD8);
    const __m256i packed = _mm256_packus_epi16(_mm256_add_epi16(lo, _mm256_unpacklo_epi16(spread, spread)),
                                               _mm256_add_epi16(hi, _mm256_unpackhi_epi16(spread, spread)));
    return _mm256_permute4x64_epi64(packed, 0xD8);  // pixels 0-31 in order
  };
  const __m256i r = channel(o.r), g = channel(o.g), b = channel(o.b);
  const __m256i& first = rgbOrder ? r : b;
  const __m256i& third = rgbOrder ? b : r;
  InterleaveShuffle::Store48(_mm256_castsi256_si128(first), _mm256_castsi256_si128(g), _mm256_castsi256_si128(third),
                             out);
  InterleaveShuffle::Store48(_mm256_extracti128_si256(first, 1), _mm256_extracti128_si256(g, 1),
                             _mm256_extracti128_si256(third, 1), out + 48);
}

template <ColourForm kForm>
void ConvertRows32(const ColourRows& c, bool rgbOrder, const uint8_t* gamma) {
  alignas(32) uint8_t mapped[2][kMaxConvertWidth];
  for (uint32_t row = 0; row < c.rows; row += 2) {
    const uint32_t pair = row + 1 < c.rows ? 2 : 1;
    const uint8_t* luma[2] = {nullptr, nullptr};
    for (uint32_t i = 0; i < pair; ++i) {
      luma[i] = c.luma + static_cast<ptrdiff_t>(row + i) * c.lumaStride;
      if (gamma) {
        for (uint32_t x = 0; x < c.width; ++x) mapped[i][x] = gamma[luma[i][x]];
        luma[i] = mapped[i];
      }
    }
    const uint8_t* cb = c.cb + static_cast<ptrdiff_t>(row / 2) * c.chromaStride;
    const uint8_t* cr = c.cr + static_cast<ptrdiff_t>(row / 2) * c.chromaStride;
    uint8_t* out = c.out + static_cast<ptrdiff_t>(row) * c.outStride;
    uint32_t x = 0;
    for (; x + 32 <= c.width; x += 32) {
      const ChromaOffsets16 o = Offsets16<kForm>(cb + x / 2, cr + x / 2);
      for (uint32_t i = 0; i < pair; ++i)
        Pixels32(luma[i] + x, o, rgbOrder, out + static_cast<ptrdiff_t>(i) * c.outStride + x * 3);
    }
    if (x < c.width) {  // sixteen more
      const ChromaOffsets o = Offsets8<kForm>(cb + x / 2, cr + x / 2);
      for (uint32_t i = 0; i < pair; ++i)
        Pixels16<InterleaveShuffle>(luma[i] + x, o, rgbOrder, out + static_cast<ptrdiff_t>(i) * c.outStride + x * 3);
    }
  }
}

}  // namespace

void ConvertToRgb24Avx2(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  if (rows.width % 16)
    ConvertToRgb24Scalar(rows, form, rgbOrder, gamma);
  else if (form == ColourForm::kDirect)
    ConvertRows32<ColourForm::kDirect>(rows, rgbOrder, gamma);
  else
    ConvertRows32<ColourForm::kPlanar>(rows, rgbOrder, gamma);
  _mm256_zeroupper();
}

}  // namespace ksv::codec
#endif
