// Bilinear resampling of packed bitmaps to another size.
#pragma once

#include <cstdint>

#include "include/win32_types.h"

namespace ksv::common {

// A new packed bitmap of width x height made from `source` (24-bit, or
// 8-bit whose colour table is copied and whose indices are blended like a
// channel). Output pixel (x, y), counted in the bitmap's row order, takes
// the source position (x * w / W, y * h / H) in floating point and blends
// the four source pixels around it bilinearly, each channel separately,
// plus 0.5, truncated; where a neighbour lies past the right or bottom edge
// the pixel itself stands in for it. Null for another depth, a size out of
// range, a source block too small for its header, or short memory. The
// caller frees the result with GlobalFree; `source` stays the caller's.
HGLOBAL ResamplePackedBitmap(HGLOBAL source, int32_t width, int32_t height);

// A new 24-bit packed bitmap holding the top `height` rows and the left
// `width` columns of the 24-bit `source`. Null when the source is smaller
// than that, not 24-bit, or memory is short.
HGLOBAL CropPackedBitmapTopLeft(HGLOBAL source, int32_t width, int32_t height);

}  // namespace ksv::common
