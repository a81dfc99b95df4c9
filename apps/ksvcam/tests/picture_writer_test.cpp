#include "apps/ksvcam/picture_writer.h"

#include <gtest/gtest.h>

#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam {
namespace {

TEST(BmpWriter, WritesHeaderFieldsAndBottomUpPaddedRows) {
  // 3 pixels a row: 9 bytes of pixels padded to 12.
  const simcam::RgbPicture picture{
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
}

TEST(BmpWriter, RowsOfWholeWordsGetNoPadding) {
  const simcam::RgbPicture picture = testing::GradientPicture(4, 5);
  const std::vector<uint8_t> file = EncodeBmp(picture);
  ASSERT_EQ(file.size(), 54u + 4 * 3 * 5);
  EXPECT_EQ(testing::DecodeBmp(file).pixels, picture.pixels);
}

TEST(BmpWriter, RefusesPictureWhosePixelsDoNotMatchItsSize) {
  const simcam::RgbPicture picture{4, 4, std::vector<uint8_t>(4 * 4 * 3 - 1)};
  EXPECT_THROW(EncodeBmp(picture), std::invalid_argument);
  EXPECT_THROW(EncodePng(picture), std::invalid_argument);
}

TEST(PngWriter, RoundTripsThroughLibpng) {
  // An odd width makes any row-stride mistake show.
  const simcam::RgbPicture picture = testing::GradientPicture(7, 5);
  const std::vector<uint8_t> file = EncodePng(picture);
  ASSERT_GE(file.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 8),
            (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  const simcam::RgbPicture read = testing::DecodePng(file);
  EXPECT_EQ(read.width, 7u);
  EXPECT_EQ(read.height, 5u);
  EXPECT_EQ(read.pixels, picture.pixels);
}

TEST(PictureFileKind, FollowsTheExtensionInAnyCase) {
  EXPECT_EQ(PictureFileKindOf("out/a.bmp"), PictureFileKind::kBmp);
  EXPECT_EQ(PictureFileKindOf("A.BMP"), PictureFileKind::kBmp);
  EXPECT_EQ(PictureFileKindOf("a.Png"), PictureFileKind::kPng);
  EXPECT_EQ(PictureFileKindOf("a.i420"), PictureFileKind::kRawPlanar);
  EXPECT_EQ(PictureFileKindOf("a.yuv"), PictureFileKind::kRawPlanar);
  EXPECT_EQ(PictureFileKindOf("a.jpg"), std::nullopt);
  EXPECT_EQ(PictureFileKindOf("bmp"), std::nullopt);
  EXPECT_EQ(PictureFileKindOf("a.bmp.tmp"), std::nullopt);
}

}  // namespace
}  // namespace ksv::ksvcam
