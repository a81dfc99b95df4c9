// Conversion of 4:2:0 samples to 24-bit pixels by table lookup.
//
// Two arithmetic forms exist. The direct form (used while decoding straight to
// 24-bit) floors each chroma term on its own; the planar form (used after a
// crop or gamma) works in 16.16 fixed point and floors once, with green
// coefficients one smaller. Both add a per-chroma offset to luma and clamp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksv::codec {

enum class ColourForm { kDirect, kPlanar };

// The widest row converted (1024-pixel pictures).
inline constexpr uint32_t kMaxConvertWidth = 1024;

// Rows of luma with the chroma of their 2 x 2 groups, and where they go.
struct ColourRows {
  const uint8_t* luma;
  ptrdiff_t lumaStride;
  const uint8_t* cb;
  const uint8_t* cr;
  ptrdiff_t chromaStride;
  uint32_t width;  // even, at most kMaxConvertWidth
  uint32_t rows;   // may be odd: the last group then has one row
  uint8_t* out;    // first output row (the picture's top row)
  ptrdiff_t outStride;  // negative for bottom-up pictures
};

// Converts to B, G, R (or R, G, B when `rgbOrder`) pixels. `gamma`, when not
// null, maps every luma sample first. Uses the SIMD form where the processor
// has one; every form gives the same bytes.
void ConvertToRgb24(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma);

// The reference form: chroma offsets from the coefficient tables, clamped by
// table lookup.
void ConvertToRgb24Scalar(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma);

// SIMD form (null where the build or processor has none).
using ConvertToRgb24Fn = void (*)(const ColourRows&, ColourForm, bool, const uint8_t*);
extern const ConvertToRgb24Fn ConvertToRgb24Simd;

// The per-pixel formulas, for tests and for one-off conversions.
void DirectPixel(int y, int cb, int cr, uint8_t& r, uint8_t& g, uint8_t& b);
void PlanarPixel(int y, int cb, int cr, uint8_t& r, uint8_t& g, uint8_t& b);

}  // namespace ksv::codec
