#include "snapshot/tests/snapshot_test_support.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"

namespace ksv::snapshot::testing {
namespace {

constexpr size_t kPixelsOffset = 1024;

size_t RowBytes(uint32_t width) { return (size_t{width} * 3 + 3) & ~size_t{3}; }

}  // namespace

std::vector<uint8_t> MakeRawSnapshot(const simcam::RgbPicture& picture) {
  const size_t rowBytes = RowBytes(picture.width);
  std::vector<uint8_t> file(kPixelsOffset + rowBytes * picture.height, 0);
  file[64] = 1;  // 24-bit pixels from byte 1024
  SetHeaderSize(file, static_cast<uint16_t>(picture.width), static_cast<uint16_t>(picture.height));
  support::StoreLe16(file, 69, 0x4D2A);
  support::StoreLe16(file, 71, 0x0900);
  file[73] = 8;
  file[74] = 16;
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* from = picture.pixels.data() + size_t{y} * picture.width * 3;
    uint8_t* to = file.data() + kPixelsOffset + (picture.height - 1 - y) * rowBytes;
    for (uint32_t x = 0; x < picture.width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  return file;
}

void SetHeaderSize(std::vector<uint8_t>& file, uint16_t width, uint16_t height) {
  if (file.size() < 69) file.resize(69, 0);
  support::StoreLe16(file, 65, width);
  support::StoreLe16(file, 67, height);
}

simcam::RgbPicture PatternPicture(uint32_t width, uint32_t height) {
  simcam::RgbPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = picture.pixels.data() + (size_t{y} * width + x) * 3;
      pixel[0] = static_cast<uint8_t>(x * 7 + y);
      pixel[1] = static_cast<uint8_t>(x + y * 11 + 50);
      pixel[2] = static_cast<uint8_t>(x * 3 + y * 5 + 130);
    }
  }
  return picture;
}

simcam::RgbPicture BitmapPicture(const void* bitmap) {
  const auto width = static_cast<uint32_t>(common::PackedBitmapWidth(bitmap));
  const auto height = static_cast<uint32_t>(common::PackedBitmapHeight(bitmap));
  const size_t rowBytes = RowBytes(width);
  const uint8_t* rows = common::PackedBitmapPixels(bitmap);
  simcam::RgbPicture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* from = rows + (height - 1 - y) * rowBytes;
    uint8_t* to = picture.pixels.data() + size_t{y} * width * 3;
    for (uint32_t x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  return picture;
}

std::vector<uint8_t> BitmapPixelBytes(const void* bitmap) {
  const uint8_t* rows = common::PackedBitmapPixels(bitmap);
  const size_t bytes = RowBytes(static_cast<uint32_t>(common::PackedBitmapWidth(bitmap))) *
                       static_cast<size_t>(common::PackedBitmapHeight(bitmap));
  return std::vector<uint8_t>(rows, rows + bytes);
}

OwnedBitmap::~OwnedBitmap() {
  if (block_ != nullptr) GlobalFree(block_);
}

const void* OwnedBitmap::bits() const {
  // The address stays the block's for its whole life.
  void* address = GlobalLock(block_);
  GlobalUnlock(block_);
  return address;
}

}  // namespace ksv::snapshot::testing
