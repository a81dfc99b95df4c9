// Bitmaps of every depth the readers take, laid out by hand by the bitmap
// rules, and the BMP file made of a packed bitmap.
#include "support/picture/bmp_file.h"

#include <gtest/gtest.h>

namespace ksv::picture {
namespace {

void Put(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, size_t count) {
  for (size_t i = 0; i < count; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A packed bitmap: 40-byte header, then `table` (colour entries or masks),
// then `rows` as given.
std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                         const std::vector<uint8_t>& table, const std::vector<uint8_t>& rows,
                         uint32_t coloursUsed = 0) {
  std::vector<uint8_t> dib(40);
  Put(dib, 0, 40, 4);
  Put(dib, 4, static_cast<uint32_t>(width), 4);
  Put(dib, 8, static_cast<uint32_t>(height), 4);
  Put(dib, 12, 1, 2);
  Put(dib, 14, bitCount, 2);
  Put(dib, 16, compression, 4);
  Put(dib, 20, static_cast<uint32_t>(rows.size()), 4);
  Put(dib, 32, coloursUsed, 4);
  dib.insert(dib.end(), table.begin(), table.end());
  dib.insert(dib.end(), rows.begin(), rows.end());
  return dib;
}

// Colour-table entries B, G, R, 0.
const std::vector<uint8_t> kTwoColours = {10, 20, 30, 0, 200, 150, 100, 0};

TEST(Bitmaps, PaletteDepthsReadThroughTheirTable) {
  // 1 bit: a row of 0 1 1 0 1 over a row of all ones (stored bottom row first).
  const RgbPicture one =
      DecodeDib(Dib(5, 2, 1, 0, kTwoColours, {0xF8, 0, 0, 0, 0x68, 0, 0, 0}), "1");
  EXPECT_EQ(one.pixels, (std::vector<uint8_t>{30,  20,  10,  100, 150, 200, 100, 150, 200, 30,
                                              20,  10,  100, 150, 200, 100, 150, 200, 100, 150,
                                              200, 100, 150, 200, 100, 150, 200, 100, 150, 200}));
  // 4 bits with two colours used; index 7 lies past the table and is black.
  const RgbPicture four = DecodeDib(Dib(3, 1, 4, 0, kTwoColours, {0x17, 0x00, 0, 0}, 2), "4");
  EXPECT_EQ(four.pixels, (std::vector<uint8_t>{100, 150, 200, 0, 0, 0, 30, 20, 10}));
  // 8 bits, top-down (negative height).
  const RgbPicture eight =
      DecodeDib(Dib(1, -2, 8, 0, kTwoColours, {1, 0, 0, 0, 0, 0, 0, 0}, 2), "8");
  EXPECT_EQ(eight.pixels, (std::vector<uint8_t>{100, 150, 200, 30, 20, 10}));
}

TEST(Bitmaps, SixteenAndThirtyTwoBitsWithAndWithoutMasks) {
  // 5-5-5: full red, then full green and half blue (16 of 31).
  const RgbPicture rgb555 = DecodeDib(Dib(2, 1, 16, 0, {}, {0x00, 0x7C, 0xF0, 0x03}), "555");
  EXPECT_EQ(rgb555.pixels, (std::vector<uint8_t>{255, 0, 0, 0, 255, 131}));
  // 5-6-5 through masks after the header.
  std::vector<uint8_t> masks(12);
  Put(masks, 0, 0xF800, 4);
  Put(masks, 4, 0x07E0, 4);
  Put(masks, 8, 0x001F, 4);
  const RgbPicture rgb565 = DecodeDib(Dib(2, 1, 16, 3, masks, {0xE0, 0x07, 0x1F, 0x00}), "565");
  EXPECT_EQ(rgb565.pixels, (std::vector<uint8_t>{0, 255, 0, 0, 0, 255}));
  // 32 bits: B, G, R, unused.
  const RgbPicture bgrx = DecodeDib(Dib(1, 1, 32, 0, {}, {1, 2, 3, 99}), "32");
  EXPECT_EQ(bgrx.pixels, (std::vector<uint8_t>{3, 2, 1}));
}

TEST(Bitmaps, BmpFileRowsStartWhereItsHeaderSays) {
  // A 24-bit file with a gap of 6 bytes between the header and the rows.
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put(file, 10, 14 + 40 + 6, 4);
  std::vector<uint8_t> dib = Dib(1, 1, 24, 0, {}, {});
  dib.insert(dib.end(), {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 7, 8, 9, 0});
  file.insert(file.end(), dib.begin(), dib.end());
  EXPECT_EQ(DecodeBmp(file, "gap.bmp").pixels, (std::vector<uint8_t>{9, 8, 7}));
}

TEST(Bitmaps, MalformedHeadersAreRefused) {
  const std::vector<uint8_t> row = {1, 2, 3, 0};
  EXPECT_NO_THROW(DecodeDib(Dib(1, 1, 24, 0, {}, row), "good"));
  EXPECT_THROW(DecodeDib(Dib(0, 1, 24, 0, {}, row), "no width"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 0, 24, 0, {}, row), "no height"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, INT32_MIN, 24, 0, {}, row), "min height"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 1, 12, 0, {}, row), "12 bits"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 1, 24, 7, {}, row), "compression 7"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 1, 8, 0, {}, row, 300), "300 colours"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 2, 24, 0, {}, row), "one row short"), PictureError);
  EXPECT_THROW(DecodeDib(Dib(1, 1, 8, 1, kTwoColours, row, 2), "run-length"), PictureError);
  std::vector<uint8_t> bigHeader = Dib(1, 1, 24, 0, {}, row);
  Put(bigHeader, 0, 4000, 4);
  EXPECT_THROW(DecodeDib(bigHeader, "header past the end"), PictureError);
  EXPECT_THROW(DecodeBmp(std::vector<uint8_t>{'B', 'X', 0, 0}, "not BM"), PictureError);
}

TEST(Bitmaps, BmpFileOfAPackedBitmapOfAnyDepth) {
  const std::vector<uint8_t> dib = Dib(5, 2, 1, 0, kTwoColours, {0xF8, 0, 0, 0, 0x68, 0, 0, 0});
  const std::vector<uint8_t> file = BmpFileOfDib(dib);
  ASSERT_EQ(file.size(), 14 + dib.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[2] | file[3] << 8, 14 + 40 + 8 + 8);  // file size
  EXPECT_EQ(file[10], 14 + 40 + 8);                    // pixel offset: after the table
  EXPECT_EQ(file[14 + 20], 8);                         // the image size, recomputed
  EXPECT_EQ(DecodeBmp(file, "1-bit.bmp").pixels, DecodeDib(dib, "1-bit").pixels);
  // A run-length bitmap keeps its stored image size.
  const std::vector<uint8_t> rle = Dib(2, 1, 8, 1, kTwoColours, {2, 1, 0, 1}, 2);
  EXPECT_EQ(BmpFileOfDib(rle).size(), 14 + rle.size());
  EXPECT_THROW(BmpFileOfDib(Dib(1, 2, 24, 0, {}, {1, 2, 3, 0})), PictureError);
}

TEST(Bitmaps, EncodeBmpWritesEveryHeaderFieldAndBottomUpPaddedRows) {
  // 3 pixels a row: 9 bytes of pixels padded to 12.
  const RgbPicture picture{
      3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};  // top row first
  const std::vector<uint8_t> expected = {
      'B',  'M',  78, 0,  0,    0,                          // file size 54 + 2 x 12
      0,    0,    0,  0,                                    // reserved
      54,   0,    0,  0,                                    // pixel offset
      40,   0,    0,  0,                                    // info header size
      3,    0,    0,  0,  2,    0,    0,  0,                // width, height (positive: bottom-up)
      1,    0,    24, 0,                                    // planes, bits per pixel
      0,    0,    0,  0,                                    // uncompressed
      24,   0,    0,  0,                                    // image bytes
      0x13, 0x0B, 0,  0,  0x13, 0x0B, 0,  0,                // 2835 pixels per metre both ways
      0,    0,    0,  0,  0,    0,    0,  0,                // palette counts
      12,   11,   10, 15, 14,   13,   18, 17, 16, 0, 0, 0,  // bottom row first, B, G, R
      3,    2,    1,  6,  5,    4,    9,  8,  7,  0, 0, 0};
  EXPECT_EQ(EncodeBmp(picture), expected);
  EXPECT_THROW(EncodeBmp(RgbPicture{4, 4, std::vector<uint8_t>(4 * 4 * 3 - 1)}), PictureError);
}

}  // namespace
}  // namespace ksv::picture
