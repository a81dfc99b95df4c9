// Internal: the x86 SIMD forms of ConvertToRgb24, one per instruction set.
#pragma once

#include "codec/colour_convert.h"

namespace ksv::codec {

void ConvertToRgb24Sse2(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma);
void ConvertToRgb24Ssse3(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma);
void ConvertToRgb24Avx2(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma);

}  // namespace ksv::codec
