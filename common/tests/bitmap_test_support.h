// Building and reading small packed bitmaps in the common tests.
#pragma once

#include <cstring>
#include <vector>

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"

namespace ksv::common::testing {

// A packed bitmap whose pixel rows (in memory order, padded) are `rows`.
inline HGLOBAL BitmapWithRows(int32_t width, int32_t height, uint16_t depth,
                              const std::vector<std::vector<uint8_t>>& rows) {
  HGLOBAL block = CreatePackedBitmap(width, height, depth);
  void* bits = GlobalLock(block);
  uint8_t* pixels = PackedBitmapPixels(bits);
  const size_t rowBytes = PackedRowBytes(width, depth);
  for (size_t y = 0; y < rows.size(); ++y) {
    std::memcpy(pixels + y * rowBytes, rows[y].data(), rows[y].size());
  }
  GlobalUnlock(block);
  return block;
}

// Row `y` (memory order) of a packed bitmap, `bytes` long.
inline std::vector<uint8_t> RowOf(HGLOBAL block, size_t y, size_t bytes) {
  void* bits = GlobalLock(block);
  const uint8_t* pixels = PackedBitmapPixels(bits);
  const size_t rowBytes =
      PackedRowBytes(PackedBitmapWidth(bits), reinterpret_cast<BITMAPINFOHEADER*>(bits)->biBitCount);
  std::vector<uint8_t> row(pixels + y * rowBytes, pixels + y * rowBytes + bytes);
  GlobalUnlock(block);
  return row;
}

}  // namespace ksv::common::testing
