// The uncompressed pictures the codecs read and write: packed RGB as a DIB
// (bottom-up rows, each padded to a whole 4-byte word; blue, green, red
// byte order, RGB32 with an unused fourth byte) and planar 4:2:0 YUV
// (I420: the Y plane, then U, then V, top-down, chroma planes of half the
// width and height rounded up, no padding).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksv::media::codecs {

enum class PixelFormat { kRgb24, kRgb32, kI420 };

struct PictureFormat {
  int width = 0;
  int height = 0;  // always positive; RGB rows are stored bottom-up
  PixelFormat format = PixelFormat::kRgb24;
};

// Bytes of one RGB row (0 for I420, which has no single stride).
int RowStride(const PictureFormat& picture);
// Bytes of the whole picture; 0 for a size that is not positive or whose
// bytes would pass 1 GiB (no picture this system handles comes near).
size_t ImageSize(const PictureFormat& picture);
// The planes of an I420 picture at `base`.
struct I420Planes {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int yStride;
  int chromaStride;
  int chromaHeight;
};
I420Planes I420PlanesOf(const PictureFormat& picture, uint8_t* base);

}  // namespace ksv::media::codecs
