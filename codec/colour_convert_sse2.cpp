// SSE2 colour conversion: pixels are packed to 3 bytes with shifts and masks.
#include "codec/colour_convert_x86.h"

#if defined(__SSE2__)
#include "codec/colour_kernels_x86.h"

namespace ksv::codec {
namespace {

// Four pixels of 4 bytes (c0 c1 c2 x) packed into 12 bytes at the bottom.
inline __m128i PackPixels(__m128i v) {
  const __m128i m0 = _mm_setr_epi32(0x00FFFFFF, 0, 0, 0);
  const __m128i m1 = _mm_setr_epi32(static_cast<int>(0xFF000000u), 0x0000FFFF, 0, 0);
  const __m128i m2 = _mm_setr_epi32(0, static_cast<int>(0xFFFF0000u), 0x000000FF, 0);
  const __m128i m3 = _mm_setr_epi32(0, 0, static_cast<int>(0xFFFFFF00u), 0);
  return _mm_or_si128(_mm_or_si128(_mm_and_si128(v, m0), _mm_and_si128(_mm_srli_si128(v, 1), m1)),
                      _mm_or_si128(_mm_and_si128(_mm_srli_si128(v, 2), m2),
                                   _mm_and_si128(_mm_srli_si128(v, 3), m3)));
}

struct InterleaveSse2 {
  static void Store48(__m128i c0, __m128i c1, __m128i c2, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = _mm_unpacklo_epi8(c0, c1), a1 = _mm_unpackhi_epi8(c0, c1);
    __m128i t0 = _mm_unpacklo_epi8(c2, zero), t1 = _mm_unpackhi_epi8(c2, zero);
    __m128i p0 = PackPixels(_mm_unpacklo_epi16(a0, t0));
    __m128i p1 = PackPixels(_mm_unpackhi_epi16(a0, t0));
    __m128i p2 = PackPixels(_mm_unpacklo_epi16(a1, t1));
    __m128i p3 = PackPixels(_mm_unpackhi_epi16(a1, t1));
    auto* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
};

}  // namespace

void ConvertToRgb24Sse2(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  ConvertWith<InterleaveSse2>(rows, form, rgbOrder, gamma);
}

}  // namespace ksv::codec
#endif
