#include "platform/media/codecs/picture.h"

namespace ksv::media::codecs {
namespace {

constexpr int64_t kLargestImage = int64_t{1} << 30;

int BitsPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::kRgb24: return 24;
    case PixelFormat::kRgb32: return 32;
    case PixelFormat::kI420: return 12;
  }
  return 0;
}

}  // namespace

int RowStride(const PictureFormat& picture) {
  if (picture.format == PixelFormat::kI420 || picture.width <= 0) return 0;
  const int64_t bits = int64_t{picture.width} * BitsPerPixel(picture.format);
  if (bits > kLargestImage) return 0;
  return static_cast<int>((bits + 31) / 32 * 4);
}

size_t ImageSize(const PictureFormat& picture) {
  if (picture.width <= 0 || picture.height <= 0) return 0;
  int64_t size = 0;
  if (picture.format == PixelFormat::kI420) {
    const int64_t chroma = int64_t{(picture.width + 1) / 2} * ((picture.height + 1) / 2);
    size = int64_t{picture.width} * picture.height + 2 * chroma;
  } else {
    size = int64_t{RowStride(picture)} * picture.height;
  }
  return size > 0 && size <= kLargestImage ? static_cast<size_t>(size) : 0;
}

I420Planes I420PlanesOf(const PictureFormat& picture, uint8_t* base) {
  I420Planes planes{};
  planes.yStride = picture.width;
  planes.chromaStride = (picture.width + 1) / 2;
  planes.chromaHeight = (picture.height + 1) / 2;
  planes.y = base;
  planes.u = base + static_cast<size_t>(picture.width) * picture.height;
  planes.v = planes.u + static_cast<size_t>(planes.chromaStride) * planes.chromaHeight;
  return planes;
}

}  // namespace ksv::media::codecs
