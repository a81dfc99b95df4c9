// Packed bitmaps: one global-memory block holding a BITMAPINFOHEADER, its
// colour table and the pixel rows (bottom-up, each row padded to 4 bytes).
// This is how bitmaps cross library boundaries; whoever receives one frees
// it with GlobalFree.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/win32_types.h"

namespace ksv::common {

// Bytes of one pixel row of `width` pixels at `bitCount` bits: a multiple
// of 4. 0 for a width or depth out of range.
size_t PackedRowBytes(int32_t width, uint16_t bitCount);

// A zero-filled movable packed bitmap of width x height at bitCount bits
// (1, 4, 8, 16, 24 or 32) with its header filled in and, for 8 bits and
// fewer, a colour table of 2^bitCount zero entries. Null for a size or depth
// out of range (width and height 1 to 32767) or when memory is short.
HGLOBAL CreatePackedBitmap(int32_t width, int32_t height, uint16_t bitCount);

// Readers of a locked packed bitmap.
int32_t PackedBitmapWidth(const void* bitmap);
int32_t PackedBitmapHeight(const void* bitmap);
// The colour-table entries: biClrUsed when set, else 2^bitCount for 8 bits
// and fewer, else 0.
uint32_t PackedBitmapColourCount(const void* bitmap);
// The first pixel byte: after the header and the colour table.
uint8_t* PackedBitmapPixels(void* bitmap);
const uint8_t* PackedBitmapPixels(const void* bitmap);

}  // namespace ksv::common
