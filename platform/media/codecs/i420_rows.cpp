#include "platform/media/codecs/i420_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ksv::media::codecs {
namespace {

uint8_t Clamped(int sum) { return static_cast<uint8_t>(std::clamp(sum >> 8, 0, 255)); }

void StorePixel(int c, int blue, int green, int red, int step, uint8_t* out) {
  out[0] = Clamped(c + blue);
  out[1] = Clamped(c + green);
  out[2] = Clamped(c + red);
  if (step == 4) out[3] = 0;
}

// Pixels [from, width) one at a time.
void RowTail(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int from, int width, int step,
             uint8_t* out) {
  for (int x = from; x < width; ++x) {
    const int d = u[x >> 1] - 128, e = v[x >> 1] - 128;
    StorePixel(298 * (luma[x] - 16) + 128, 516 * d, -100 * d - 208 * e, 409 * e, step,
               out + static_cast<ptrdiff_t>(x) * step);
  }
}

#ifdef __SSE2__
// The three sums of four pixels are exact in 32 bits: each is one or two
// multiply-adds of 16-bit pairs, (Y - 16, chroma) or (chroma, 1) with the
// rounding 128 as the second coefficient. Arithmetic shift and the two
// saturating packs are the clamp.
struct Terms {
  __m128i yu, yv, v1;  // interleaved (Y - 16, d), (Y - 16, e), (e, 1)
};

__m128i Sum(__m128i pairs, __m128i coefficients, __m128i more = _mm_setzero_si128()) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, coefficients), more), 8);
}

// Sixteen pixels as blue, green, red and zero bytes, four to a register.
struct Pixels {
  __m128i four[4];
};

Pixels Pixels16(const uint8_t* luma, const uint8_t* u, const uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
  const __m128i k16 = _mm_set1_epi16(16), k128 = _mm_set1_epi16(128), one = _mm_set1_epi16(1);
  const __m128i d8 = _mm_sub_epi16(
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero), k128);
  const __m128i e8 = _mm_sub_epi16(
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)), zero), k128);
  const __m128i blueOf = _mm_set1_epi32(516 << 16 | 298);
  const __m128i redOf = _mm_set1_epi32(409 << 16 | 298);
  const __m128i greenOfU = _mm_set1_epi32(static_cast<int>(0xFF9C0000u) | 298);  // (298, -100)
  const __m128i greenOfV = _mm_set1_epi32(128 << 16 | 0xFF30);                    // (-208, 128)
  const __m128i roundOnly = _mm_set1_epi32(128);
  Pixels pixels;
  for (int half = 0; half < 2; ++half) {
    const __m128i y8 =
        _mm_sub_epi16(half == 0 ? _mm_unpacklo_epi8(y, zero) : _mm_unpackhi_epi8(y, zero), k16);
    // Pixels 8 half .. 8 half + 7 take chroma samples 4 half .. 4 half + 3, each twice.
    const __m128i d = half == 0 ? _mm_unpacklo_epi16(d8, d8) : _mm_unpackhi_epi16(d8, d8);
    const __m128i e = half == 0 ? _mm_unpacklo_epi16(e8, e8) : _mm_unpackhi_epi16(e8, e8);
    __m128i blue[2], green[2], red[2];
    for (int quarter = 0; quarter < 2; ++quarter) {
      const auto pairs = [quarter](__m128i a, __m128i b) {
        return quarter == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
      };
      const __m128i yd = pairs(y8, d), ye = pairs(y8, e), e1 = pairs(e, one);
      blue[quarter] = Sum(yd, blueOf, roundOnly);
      red[quarter] = Sum(ye, redOf, roundOnly);
      green[quarter] = Sum(yd, greenOfU, _mm_madd_epi16(e1, greenOfV));
    }
    const __m128i b16 = _mm_packs_epi32(blue[0], blue[1]);
    const __m128i g16 = _mm_packs_epi32(green[0], green[1]);
    const __m128i r16 = _mm_packs_epi32(red[0], red[1]);
    const __m128i bg = _mm_packus_epi16(_mm_unpacklo_epi16(b16, g16), _mm_unpackhi_epi16(b16, g16));
    const __m128i r0 = _mm_packus_epi16(_mm_unpacklo_epi16(r16, zero), _mm_unpackhi_epi16(r16, zero));
    pixels.four[2 * half] = _mm_unpacklo_epi16(bg, r0);
    pixels.four[2 * half + 1] = _mm_unpackhi_epi16(bg, r0);
  }
  return pixels;
}

void StoreAsFourBytePixels(const Pixels& pixels, uint8_t* out) {
  for (int i = 0; i < 4; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), pixels.four[i]);
  }
}

// The sixteen pixels as 48 bytes, packed in registers (copying three of
// every four bytes through memory stalls: a narrow load from a wide store).
void StoreAsThreeBytePixels(const Pixels& pixels, uint8_t* out) {
  const __m128i lowPixel = _mm_set1_epi64x(0x0000000000FFFFFF);
  const __m128i highPixel = _mm_set1_epi64x(0x00FFFFFF00000000);
  const __m128i firstSix = _mm_setr_epi32(-1, 0xFFFF, 0, 0);
  const __m128i nextSix = _mm_setr_epi32(0, static_cast<int>(0xFFFF0000u), -1, 0);
  for (int i = 0; i < 4; ++i) {
    const __m128i four = pixels.four[i];
    // Two pixels per 64-bit half as six bytes, then the halves side by side.
    const __m128i six = _mm_or_si128(_mm_and_si128(four, lowPixel),
                                     _mm_srli_epi64(_mm_and_si128(four, highPixel), 8));
    const __m128i twelve = _mm_or_si128(_mm_and_si128(six, firstSix),
                                        _mm_and_si128(_mm_srli_si128(six, 2), nextSix));
    uint8_t* at = out + 12 * i;
    if (i < 3) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(at), twelve);  // the next store covers its tail
    } else {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at), twelve);
      const int last = _mm_cvtsi128_si32(_mm_srli_si128(twelve, 8));
      std::memcpy(at + 8, &last, 4);
    }
  }
}
#endif

}  // namespace

void I420RowToBgr(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int width,
                  int bytesPerPixel, uint8_t* out) {
  int x = 0;
#ifdef __SSE2__
  if (bytesPerPixel == 4) {
    for (; x + 16 <= width; x += 16) {
      StoreAsFourBytePixels(Pixels16(luma + x, u + x / 2, v + x / 2), out + 4 * x);
    }
  } else {
    for (; x + 16 <= width; x += 16) {
      StoreAsThreeBytePixels(Pixels16(luma + x, u + x / 2, v + x / 2), out + 3 * x);
    }
  }
#endif
  RowTail(luma, u, v, x, width, bytesPerPixel, out);
}

}  // namespace ksv::media::codecs
