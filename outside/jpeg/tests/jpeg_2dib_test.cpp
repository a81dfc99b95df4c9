#include <gtest/gtest.h>

#include <cstring>

#include "common/packed_bitmap.h"
#include "include/oksv1jpg.h"
#include "outside/jpeg/jpeg_decode.h"
#include "outside/jpeg/tests/jpeg_test_support.h"
#include "platform/memory/global_memory.h"

namespace ksv::outside::jpeg {
namespace {

using testing::EncodeJpeg;
using testing::OwnedBitmap;
using testing::TestPixels;

BITMAPINFOHEADER HeaderOf(const void* bitmap) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap, sizeof header);
  return header;
}

class Jpeg2Dib : public ::testing::Test {
 protected:
  // Writes `bytes` as a file and decodes it.
  HGLOBAL DecodeFile(const std::vector<uint8_t>& bytes) {
    const auto path = folder_ / "picture.jpg";
    testing::WriteFile(path, bytes);
    return JPEG_2Dib(path.c_str());
  }
  testing::TempFolder folder_;
};

TEST_F(Jpeg2Dib, ColourPictureBecomesBottomUpTwentyFourBitRowsPaddedToFourBytes) {
  constexpr int kWidth = 33;  // 99 bytes a row: padded to 100
  constexpr int kHeight = 17;
  const std::vector<uint8_t> pixels = TestPixels(kWidth, kHeight, 3);
  OwnedBitmap bitmap(DecodeFile(EncodeJpeg(pixels, kWidth, kHeight, 3, 95)));
  ASSERT_TRUE(bitmap);
  const BITMAPINFOHEADER header = HeaderOf(bitmap.bits());
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, kWidth);
  EXPECT_EQ(header.biHeight, kHeight);  // positive: bottom-up
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, BI_RGB);
  EXPECT_EQ(header.biSizeImage, 100u * kHeight);
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 100u * kHeight);
  // Read by the bitmap rules, the picture is the one encoded: a flipped or
  // channel-swapped copy would be far from it.
  EXPECT_GT(testing::Psnr(testing::TopDownSamples(bitmap.bits()), pixels), 35.0);
}

TEST_F(Jpeg2Dib, GreyPictureBecomesEightBitWithAGreyColourTable) {
  const std::vector<uint8_t> pixels = TestPixels(20, 10, 1);
  OwnedBitmap bitmap(DecodeFile(EncodeJpeg(pixels, 20, 10, 1, 95)));
  ASSERT_TRUE(bitmap);
  const BITMAPINFOHEADER header = HeaderOf(bitmap.bits());
  EXPECT_EQ(header.biBitCount, 8);
  ASSERT_EQ(common::PackedBitmapColourCount(bitmap.bits()), 256u);
  const auto* table =
      reinterpret_cast<const RGBQUAD*>(static_cast<const uint8_t*>(bitmap.bits()) + 40);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(table[i].rgbRed, i);
    ASSERT_EQ(table[i].rgbGreen, i);
    ASSERT_EQ(table[i].rgbBlue, i);
  }
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 1024u + 20u * 10u);
  EXPECT_GT(testing::Psnr(testing::TopDownSamples(bitmap.bits()), pixels), 35.0);
}

TEST_F(Jpeg2Dib, BytesBetweenTheScanAndItsEndAreTolerated) {
  // Pictures rebuilt from the camera's memory carry the zero padding of
  // its 64-byte grid before EOI.
  const std::vector<uint8_t> pixels = TestPixels(16, 16, 3);
  std::vector<uint8_t> jpeg = EncodeJpeg(pixels, 16, 16, 3, 90);
  jpeg.insert(jpeg.end() - 2, 40, 0x00);
  OwnedBitmap bitmap(DecodeFile(jpeg));
  ASSERT_TRUE(bitmap);
  EXPECT_GT(testing::Psnr(testing::TopDownSamples(bitmap.bits()), pixels), 30.0);
}

TEST_F(Jpeg2Dib, AnythingButAWholeJpegFileGivesNoBitmap) {
  const std::vector<uint8_t> good = EncodeJpeg(TestPixels(64, 48, 3), 64, 48, 3, 90);
  const std::vector<uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  std::vector<uint8_t> noEnd(good.begin(), good.end() - 2);
  noEnd.resize(noEnd.size() - 40);  // and part of the scan
  std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 300);
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(DecodeFile(truncated), nullptr);
  EXPECT_EQ(DecodeFile(noEnd), nullptr);
  EXPECT_EQ(DecodeFile(headerOnly), nullptr);
  EXPECT_EQ(DecodeFile(text), nullptr);
  EXPECT_EQ(DecodeFile({}), nullptr);
  EXPECT_EQ(JPEG_2Dib((folder_ / "missing.jpg").c_str()), nullptr);
  EXPECT_EQ(JPEG_2Dib(folder_.path().c_str()), nullptr);  // a folder
  EXPECT_EQ(JPEG_2Dib(nullptr), nullptr);
  EXPECT_EQ(JPEG_2Dib(""), nullptr);
}

TEST_F(Jpeg2Dib, CorruptScanDataGivesNoBitmap) {
  std::vector<uint8_t> jpeg = EncodeJpeg(TestPixels(64, 64, 3), 64, 64, 3, 90);
  // A marker in the middle of the scan cuts it short.
  const size_t middle = jpeg.size() - 200;
  jpeg[middle] = 0xFF;
  jpeg[middle + 1] = 0xD0;
  EXPECT_EQ(DecodeFile(jpeg), nullptr);
}

TEST_F(Jpeg2Dib, HugeDeclaredSizeIsRefusedBeforeDecoding) {
  std::vector<uint8_t> jpeg = EncodeJpeg(TestPixels(16, 16, 3), 16, 16, 3, 90);
  // SOF0: FF C0, length, precision, then height and width (big-endian).
  size_t sof = 2;
  while (!(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
  jpeg[sof + 5] = 0xFF;  // 65535 rows
  jpeg[sof + 6] = 0xFF;
  jpeg[sof + 7] = 0xFF;  // 65535 columns
  jpeg[sof + 8] = 0xFF;
  EXPECT_EQ(DecodeFile(jpeg), nullptr);
  EXPECT_EQ(DecodeJpegToPackedBitmap(jpeg), nullptr);
}

}  // namespace
}  // namespace ksv::outside::jpeg
