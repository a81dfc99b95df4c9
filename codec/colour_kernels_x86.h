// Internal to the colour conversion: the x86 SIMD row kernel, included by one
// source per instruction set (everything here has internal linkage so the
// copies built with different instruction sets never mix).
//
// The chroma offsets that the reference form takes from its coefficient
// tables are computed here with 16-bit high-half multiplies that give the same
// floors: for d = C - 128,
//   floor(d x 91881 / 65536)  = d + hi(d x 26345)
//   floor(d x 116129 / 65536) = 2d + hi(d x -14943)
//   floor(d x 46802 / 65536)  = d + hi(d x -18734)
//   floor(d x 22554 / 65536)  = hi(d x 22554)
// and the planar green floor((-22553 db - 46801 dr) / 65536) equals
//   -dr + floor((-22553 db + 18735 dr) / 65536), one 32-bit multiply-add.
// Luma plus offset always fits in 16 bits, so unsigned saturation is the
// clamp. A test compares every (Y, Cb, Cr) with the reference form.
#pragma once

#include <emmintrin.h>

#include "codec/colour_convert.h"

namespace ksv::codec {
namespace {

struct ChromaOffsets {
  __m128i r, g, b;  // eight groups
};

template <ColourForm kForm>
inline ChromaOffsets Offsets8(const uint8_t* cbRow, const uint8_t* crRow) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i k128 = _mm_set1_epi16(128);
  __m128i cb = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cbRow));
  __m128i cr = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(crRow));
  __m128i db = _mm_sub_epi16(_mm_unpacklo_epi8(cb, zero), k128);
  __m128i dr = _mm_sub_epi16(_mm_unpacklo_epi8(cr, zero), k128);
  ChromaOffsets o;
  o.r = _mm_add_epi16(dr, _mm_mulhi_epi16(dr, _mm_set1_epi16(26345)));
  o.b = _mm_add_epi16(_mm_add_epi16(db, db), _mm_mulhi_epi16(db, _mm_set1_epi16(-14943)));
  if constexpr (kForm == ColourForm::kDirect) {
    __m128i gb = _mm_mulhi_epi16(db, _mm_set1_epi16(22554));
    __m128i gr = _mm_add_epi16(dr, _mm_mulhi_epi16(dr, _mm_set1_epi16(-18734)));
    o.g = _mm_sub_epi16(_mm_sub_epi16(zero, gb), gr);
  } else {
    const __m128i k = _mm_setr_epi16(-22553, 18735, -22553, 18735, -22553, 18735, -22553, 18735);
    __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(db, dr), k), 16);
    __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(db, dr), k), 16);
    o.g = _mm_sub_epi16(_mm_packs_epi32(lo, hi), dr);
  }
  return o;
}

// 16 pixels of one row: luma + offsets (pixel x uses group x / 2), saturated,
// then interleaved into 48 bytes by `Interleave`.
template <class Interleave>
inline void Pixels16(const uint8_t* y, const ChromaOffsets& o, bool rgbOrder, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  __m128i lo = _mm_unpacklo_epi8(luma, zero), hi = _mm_unpackhi_epi8(luma, zero);
  auto channel = [&](__m128i offsets) {
    return _mm_packus_epi16(_mm_add_epi16(lo, _mm_unpacklo_epi16(offsets, offsets)),
                            _mm_add_epi16(hi, _mm_unpackhi_epi16(offsets, offsets)));
  };
  __m128i r = channel(o.r), g = channel(o.g), b = channel(o.b);
  if (rgbOrder)
    Interleave::Store48(r, g, b, out);
  else
    Interleave::Store48(b, g, r, out);
}

template <ColourForm kForm, class Interleave>
void ConvertRows(const ColourRows& c, bool rgbOrder, const uint8_t* gamma) {
  alignas(16) uint8_t mapped[2][kMaxConvertWidth];
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
    for (uint32_t x = 0; x < c.width; x += 16) {
      ChromaOffsets o = Offsets8<kForm>(cb + x / 2, cr + x / 2);
      for (uint32_t i = 0; i < pair; ++i)
        Pixels16<Interleave>(luma[i] + x, o, rgbOrder, out + static_cast<ptrdiff_t>(i) * c.outStride + x * 3);
    }
  }
}

// Rows whose width is not a multiple of 16 take the reference form.
template <class Interleave>
void ConvertWith(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  if (rows.width % 16)
    ConvertToRgb24Scalar(rows, form, rgbOrder, gamma);
  else if (form == ColourForm::kDirect)
    ConvertRows<ColourForm::kDirect, Interleave>(rows, rgbOrder, gamma);
  else
    ConvertRows<ColourForm::kPlanar, Interleave>(rows, rgbOrder, gamma);
}

}  // namespace
}  // namespace ksv::codec
