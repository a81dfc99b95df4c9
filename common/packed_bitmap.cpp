#include "common/packed_bitmap.h"

#include <cstring>

#include "platform/memory/global_memory.h"

namespace ksv::common {

namespace {

constexpr int32_t kMaxSide = 32767;

bool KnownDepth(uint16_t bitCount) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

uint32_t TableEntries(uint16_t bitCount) { return bitCount <= 8 ? (1u << bitCount) : 0u; }

BITMAPINFOHEADER ReadHeader(const void* bitmap) {
  // The block's start is suitably aligned, but a copy avoids assuming it.
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap, sizeof header);
  return header;
}

}  // namespace

size_t PackedRowBytes(int32_t width, uint16_t bitCount) {
  if (width < 1 || width > kMaxSide || !KnownDepth(bitCount)) return 0;
  return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
}

HGLOBAL CreatePackedBitmap(int32_t width, int32_t height, uint16_t bitCount) {
  const size_t rowBytes = PackedRowBytes(width, bitCount);
  if (rowBytes == 0 || height < 1 || height > kMaxSide) return nullptr;
  const size_t tableBytes = TableEntries(bitCount) * sizeof(RGBQUAD);
  const size_t imageBytes = rowBytes * static_cast<size_t>(height);
  HGLOBAL block = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + tableBytes + imageBytes);
  if (block == nullptr) return nullptr;

  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bitCount;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(imageBytes);
  std::memcpy(GlobalLock(block), &header, sizeof header);
  GlobalUnlock(block);
  return block;
}

int32_t PackedBitmapWidth(const void* bitmap) { return ReadHeader(bitmap).biWidth; }

int32_t PackedBitmapHeight(const void* bitmap) { return ReadHeader(bitmap).biHeight; }

uint32_t PackedBitmapColourCount(const void* bitmap) {
  const BITMAPINFOHEADER header = ReadHeader(bitmap);
  return header.biClrUsed != 0 ? header.biClrUsed : TableEntries(header.biBitCount);
}

uint8_t* PackedBitmapPixels(void* bitmap) {
  return static_cast<uint8_t*>(bitmap) + ReadHeader(bitmap).biSize +
         PackedBitmapColourCount(bitmap) * sizeof(RGBQUAD);
}

const uint8_t* PackedBitmapPixels(const void* bitmap) {
  return PackedBitmapPixels(const_cast<void*>(bitmap));
}

}  // namespace ksv::common
