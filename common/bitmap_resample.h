// Bilinear resampling of packed bitmaps to another size.
#pragma once

#include <cstdint>

#include "include/win32_types.h"

namespace ksv::common {

// The two bilinear rules the libraries resample by. Both take, for output
// pixel (x, y), a source position and blend the four source pixels around
// it, each channel separately, plus 0.5, truncated. They differ in the
// precision of the position and at the last source column and row.
enum class ResampleRule {
  // The position (x * w / W, y * h / H) in double precision; where a
  // neighbour lies past the right or bottom edge the pixel itself stands in
  // for it (the blend still runs along the other axis). Stored pictures.
  kDoubleEdgeStandsIn,
  // The scale factors W / w and H / h rounded to single precision and the
  // position x / (W / w) computed in single precision; a position whose
  // base pixel is in the last source column or the last source row takes
  // that pixel unblended. Snapshots and the acquisition window's thumbnails.
  kSingleLastUnblended,
};

// A new packed bitmap of width x height made from `source` (24-bit, or
// 8-bit whose colour table is copied and whose indices are blended like a
// channel), by `rule`, in the bitmap's row order. Null for another depth, a
// size out of range, a source block too small for its header, or short
// memory. The caller frees the result with GlobalFree; `source` stays the
// caller's.
HGLOBAL ResamplePackedBitmap(HGLOBAL source, int32_t width, int32_t height,
                             ResampleRule rule = ResampleRule::kDoubleEdgeStandsIn);

// A new 24-bit packed bitmap holding the top `height` rows and the left
// `width` columns of the 24-bit `source`. Null when the source is smaller
// than that, not 24-bit, or memory is short.
HGLOBAL CropPackedBitmapTopLeft(HGLOBAL source, int32_t width, int32_t height);

}  // namespace ksv::common
