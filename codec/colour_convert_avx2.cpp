// AVX2 colour conversion: 32 pixels a step, the same arithmetic as the
// SSE kernels in sixteen lanes (so the same bytes), packed to 3 bytes with
// the SSSE3 byte shuffles (one 256-bit shuffle for the middle third). Built
// with -mavx2 and chosen at run time only where the processor has it.
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

// The middle 32 of the 96 bytes of 32 pixels: chunk 2 of pixels 0-15 in the
// low half, chunk 0 of pixels 16-31 in the high one. Each half draws on its
// own sixteen pixels, so one 256-bit shuffle per channel does it.
struct MiddleShuffleMasks {
  alignas(32) int8_t m[3][32];
};
constexpr MiddleShuffleMasks kMiddleShuffle = [] {
  MiddleShuffleMasks s{};
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 16; ++i) {
      s.m[c][i] = kShuffle.m[2][c][i];
      s.m[c][16 + i] = kShuffle.m[0][c][i];
    }
  return s;
}();

// Interleaves 32 pixels held in order (0-15 in the low half, 16-31 in the
// high one) into 96 bytes.
inline void Store96(__m256i c0, __m256i c1, __m256i c2, uint8_t* out) {
  auto store32 = [](uint8_t* at, __m128i a0, __m128i a1, __m128i a2, int chunk0) {
    for (int v = chunk0; v < chunk0 + 2; ++v) {
      auto mask = [&](int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.m[v][c])); };
      __m128i x = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a0, mask(0)), _mm_shuffle_epi8(a1, mask(1))),
                               _mm_shuffle_epi8(a2, mask(2)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(at) + (v - chunk0), x);
    }
  };
  store32(out, _mm256_castsi256_si128(c0), _mm256_castsi256_si128(c1), _mm256_castsi256_si128(c2), 0);
  auto mask = [&](int c) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(kMiddleShuffle.m[c])); };
  const __m256i middle = _mm256_or_si256(
      _mm256_or_si256(_mm256_shuffle_epi8(c0, mask(0)), _mm256_shuffle_epi8(c1, mask(1))),
      _mm256_shuffle_epi8(c2, mask(2)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), middle);
  store32(out + 64, _mm256_extracti128_si256(c0, 1), _mm256_extracti128_si256(c1, 1), _mm256_extracti128_si256(c2, 1),
          1);
}

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
// The luma goes in as pixels 0-7 and 16-23 in one register and 8-15 and
// 24-31 in the other, so that doubling the offsets' low and high groups of
// each half lines them up and the packed result is in order: no
// instruction crosses the halves (those are slow here).
inline void Pixels32(const uint8_t* y, const ChromaOffsets16& o, bool rgbOrder, uint8_t* out) {
  const __m128i first16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  const __m128i second16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + 16));
  const __m256i lo = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(first16, second16));  // pixels 0-7, 16-23
  const __m256i hi = _mm256_cvtepu8_epi16(_mm_unpackhi_epi64(first16, second16));  // pixels 8-15, 24-31
  auto channel = [&](__m256i offsets) {
    return _mm256_packus_epi16(_mm256_add_epi16(lo, _mm256_unpacklo_epi16(offsets, offsets)),
                               _mm256_add_epi16(hi, _mm256_unpackhi_epi16(offsets, offsets)));  // pixels 0-31
  };
  const __m256i r = channel(o.r), g = channel(o.g), b = channel(o.b);
  const __m256i& first = rgbOrder ? r : b;
  const __m256i& third = rgbOrder ? b : r;
  Store96(first, g, third, out);
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
