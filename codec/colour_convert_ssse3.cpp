// SSSE3 colour conversion: pixels are packed to 3 bytes with byte shuffles.
// Built with -mssse3 and chosen at run time only where the processor has it.
#include "codec/colour_convert_x86.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>

#include <array>

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

struct InterleaveSsse3 {
  static void Store48(__m128i c0, __m128i c1, __m128i c2, uint8_t* out) {
    for (int v = 0; v < 3; ++v) {
      auto mask = [&](int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.m[v][c])); };
      __m128i x = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(c0, mask(0)), _mm_shuffle_epi8(c1, mask(1))),
                               _mm_shuffle_epi8(c2, mask(2)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + v, x);
    }
  }
};

}  // namespace

void ConvertToRgb24Ssse3(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  ConvertWith<InterleaveSsse3>(rows, form, rgbOrder, gamma);
}

}  // namespace ksv::codec
#endif
