// Pixels in the layout of a device-independent bitmap: rows padded to 4
// bytes, stored bottom-up or top-down; 24 bits a pixel (B, G, R) or 1 bit
// (the first pixel in the top bit of a byte). And the drawing the device
// contexts share: fills, copies and stretches through pixman, the bitwise
// raster operations by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/region.h"

namespace ksv::platform::gdi {

// Bytes of a row of `width` pixels of `bitsPerPixel` bits, padded to 4.
constexpr size_t DibStride(int width, int bitsPerPixel) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
}
// The largest width or height a bitmap has here.
inline constexpr int kMaxSide = 16384;

// Pixels someone else owns, addressed from the top row: row y is at
// top + y * stride (a negative stride for bottom-up storage).
struct PixelView {
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;
  uint8_t* Row(int y) const { return top + y * stride; }
};

// Pixels of its own, zero-filled.
class Image {
 public:
  Image() = default;
  Image(int width, int height, int bitsPerPixel, bool topDown);
  PixelView View();
  uint8_t* data() { return bytes_.data(); }
  size_t stride() const { return DibStride(width_, bitsPerPixel_); }
  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bitsPerPixel_; }
  bool topDown() const { return topDown_; }

 private:
  std::vector<uint8_t> bytes_;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 24;
  bool topDown_ = true;
};

// A DIB's header, colour table and bits as a caller hands them in.
struct DibSource {
  const BITMAPINFO* info = nullptr;
  const uint8_t* bits = nullptr;
  UINT firstRow = 0;    // from the bottom, for SetDIBitsToDevice's bands
  UINT rows = 0;        // rows at `bits`
};
// The DIB as 24-bit top-down pixels, or an empty image when its header is
// not one this layer draws (1, 4, 8 or 24 bits, uncompressed, sane size).
// Rows outside the band stay black.
Image DibToColour(const DibSource& dib);
// A 1-bit view as 24-bit pixels: 0 takes `zero`, 1 takes `one`.
Image MonoToColour(const PixelView& mono, COLORREF zero, COLORREF one);

// Fills `rect` of a 24-bit view, within `clip`, with `colour`.
void FillPixels(const PixelView& target, const Region& clip, const RECT& rect, COLORREF colour);

// Combines `source` (24 bits) at `from` into `target` at `to` with the
// raster operation, within `clip`; the rectangles' sizes may differ
// (stretched by whole pixels). False for an operation not kept here.
bool BlitPixels(const PixelView& target, const Region& clip, const RECT& to,
                const PixelView& source, const RECT& from, DWORD rop);

// dst = dst OP src over `bytes` bytes (SRCCOPY, SRCAND, SRCPAINT, SRCINVERT).
void ApplyRop(DWORD rop, uint8_t* dst, const uint8_t* src, size_t bytes);
bool RopKept(DWORD rop);

}  // namespace ksv::platform::gdi
