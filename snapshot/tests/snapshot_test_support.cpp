#include "snapshot/tests/snapshot_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"
#include "support/byte_order.h"
#include "support/picture/bmp_file.h"
#include "support/picture/colour.h"

namespace ksv::snapshot::testing {
namespace {

constexpr size_t kPixelsOffset = 1024;

size_t RowBytes(uint32_t width) { return picture::BitmapRowBytes(width); }

}  // namespace

std::vector<uint8_t> MakeRawSnapshot(const picture::RgbPicture& picture) {
  const size_t rowBytes = RowBytes(picture.width);
  std::vector<uint8_t> file(kPixelsOffset + rowBytes * picture.height, 0);
  file[64] = 1;  // 24-bit pixels from byte 1024
  SetHeaderSize(file, static_cast<uint16_t>(picture.width), static_cast<uint16_t>(picture.height));
  support::StoreLe16(file, 69, 0x4D2A);
  support::StoreLe16(file, 71, 0x0900);
  file[73] = 8;
  file[74] = 16;
  const std::vector<uint8_t> rows = picture::ToBitmapRows(picture);
  std::copy(rows.begin(), rows.end(), file.begin() + kPixelsOffset);
  return file;
}

void SetHeaderSize(std::vector<uint8_t>& file, uint16_t width, uint16_t height) {
  if (file.size() < 69) file.resize(69, 0);
  support::StoreLe16(file, 65, width);
  support::StoreLe16(file, 67, height);
}

picture::RgbPicture BitmapPicture(HGLOBAL bitmap) {
  const auto* bits = static_cast<const uint8_t*>(GlobalLock(bitmap));
  const picture::RgbPicture decoded = picture::DecodeDib({bits, GlobalSize(bitmap)}, "bitmap");
  GlobalUnlock(bitmap);
  return decoded;
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
