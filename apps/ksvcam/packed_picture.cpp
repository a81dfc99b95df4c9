#include "apps/ksvcam/packed_picture.h"

#include <algorithm>
#include <cstring>

#include "apps/ksvcam/console.h"
#include "common/packed_bitmap.h"

namespace ksv::ksvcam {

simcam::RgbPicture PackedBitmapToPicture(const void* bitmap, size_t blockBytes) {
  BITMAPINFOHEADER header{};
  if (blockBytes < sizeof header) throw CommandFailure("bitmap is shorter than its header");
  std::memcpy(&header, bitmap, sizeof header);
  if (header.biBitCount != 24 || header.biCompression != BI_RGB) {
    throw CommandFailure("bitmap is not 24-bit uncompressed (" + std::to_string(header.biBitCount) +
                         " bits, compression " + std::to_string(header.biCompression) + ")");
  }
  const int32_t width = common::PackedBitmapWidth(bitmap);
  const int32_t height = common::PackedBitmapHeight(bitmap);
  const auto rows = static_cast<uint32_t>(std::max(height, 0));
  const size_t rowBytes = common::PackedRowBytes(width, 24);
  // Where PackedBitmapPixels would point, checked against the block first.
  const size_t pixelsOffset =
      size_t{header.biSize} + size_t{common::PackedBitmapColourCount(bitmap)} * sizeof(RGBQUAD);
  if (rowBytes == 0 || rows == 0 || pixelsOffset > blockBytes ||
      (blockBytes - pixelsOffset) / rowBytes < rows) {
    throw CommandFailure("bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels does not fit its " + std::to_string(blockBytes) + "-byte block");
  }

  const uint8_t* pixels = static_cast<const uint8_t*>(bitmap) + pixelsOffset;
  const auto columns = static_cast<uint32_t>(width);
  simcam::RgbPicture picture{columns, rows, std::vector<uint8_t>(size_t{columns} * rows * 3)};
  for (uint32_t y = 0; y < rows; ++y) {
    const uint8_t* from = pixels + (rows - 1 - y) * rowBytes;
    uint8_t* to = picture.pixels.data() + size_t{y} * columns * 3;
    for (uint32_t x = 0; x < columns; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  return picture;
}

}  // namespace ksv::ksvcam
