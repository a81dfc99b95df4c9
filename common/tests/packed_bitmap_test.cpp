#include "common/packed_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/memory/global_memory.h"

namespace ksv::common {
namespace {

// Locks a block for the test's scope and frees it at the end.
class LockedBitmap {
 public:
  explicit LockedBitmap(HGLOBAL block) : block_(block), bits_(GlobalLock(block)) {}
  ~LockedBitmap() {
    GlobalUnlock(block_);
    GlobalFree(block_);
  }
  void* bits() const { return bits_; }
  SIZE_T size() const { return GlobalSize(block_); }

 private:
  HGLOBAL block_;
  void* bits_;
};

TEST(PackedBitmap, RowsArePaddedToFourBytes) {
  EXPECT_EQ(PackedRowBytes(1, 24), 4u);
  EXPECT_EQ(PackedRowBytes(3, 24), 12u);
  EXPECT_EQ(PackedRowBytes(5, 24), 16u);
  EXPECT_EQ(PackedRowBytes(5, 8), 8u);
  EXPECT_EQ(PackedRowBytes(33, 1), 8u);
  EXPECT_EQ(PackedRowBytes(320, 24), 960u);
  EXPECT_EQ(PackedRowBytes(0, 24), 0u);
  EXPECT_EQ(PackedRowBytes(4, 7), 0u);
}

TEST(PackedBitmap, TwentyFourBitBitmapHasNoColourTable) {
  HGLOBAL block = CreatePackedBitmap(5, 3, 24);
  ASSERT_NE(block, nullptr);
  LockedBitmap bitmap(block);
  EXPECT_EQ(bitmap.size(), 40u + 16u * 3u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.bits(), sizeof header);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, BI_RGB);
  EXPECT_EQ(header.biSizeImage, 48u);
  EXPECT_EQ(PackedBitmapWidth(bitmap.bits()), 5);
  EXPECT_EQ(PackedBitmapHeight(bitmap.bits()), 3);
  EXPECT_EQ(PackedBitmapColourCount(bitmap.bits()), 0u);
  const uint8_t* pixels = PackedBitmapPixels(static_cast<const void*>(bitmap.bits()));
  EXPECT_EQ(pixels - static_cast<uint8_t*>(bitmap.bits()), 40);
  for (size_t i = 0; i < 48; ++i) ASSERT_EQ(pixels[i], 0) << i;
}

TEST(PackedBitmap, EightBitBitmapKeepsRoomForItsColourTable) {
  HGLOBAL block = CreatePackedBitmap(2, 2, 8);
  ASSERT_NE(block, nullptr);
  LockedBitmap bitmap(block);
  EXPECT_EQ(PackedBitmapColourCount(bitmap.bits()), 256u);
  EXPECT_EQ(PackedBitmapPixels(bitmap.bits()) - static_cast<uint8_t*>(bitmap.bits()), 40 + 1024);
  EXPECT_EQ(bitmap.size(), 40u + 1024u + 8u);

  // A header that names fewer colours moves the pixels up.
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.bits(), sizeof header);
  header.biClrUsed = 16;
  std::memcpy(bitmap.bits(), &header, sizeof header);
  EXPECT_EQ(PackedBitmapColourCount(bitmap.bits()), 16u);
  EXPECT_EQ(PackedBitmapPixels(bitmap.bits()) - static_cast<uint8_t*>(bitmap.bits()), 40 + 64);
}

TEST(PackedBitmap, RefusesImpossibleBitmaps) {
  EXPECT_EQ(CreatePackedBitmap(0, 10, 24), nullptr);
  EXPECT_EQ(CreatePackedBitmap(10, 0, 24), nullptr);
  EXPECT_EQ(CreatePackedBitmap(-4, 10, 24), nullptr);
  EXPECT_EQ(CreatePackedBitmap(10, 40000, 24), nullptr);
  EXPECT_EQ(CreatePackedBitmap(10, 10, 12), nullptr);
}

}  // namespace
}  // namespace ksv::common
