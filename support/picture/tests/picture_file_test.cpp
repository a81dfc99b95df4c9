// Round trips through every format, and files cut short or made hostile
// refused with a clear error.
#include "support/picture/picture_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

#include "support/picture/bmp_file.h"
#include "support/picture/jpeg_file.h"
#include "support/picture/png_file.h"
#include "support/picture/psnr.h"
#include "support/picture/tests/test_pictures.h"
#include "support/test_data.h"
#include "testing/temp_files.h"

namespace ksv::picture {
namespace {

using ::ksv::testing::TempFolder;

// The PNG chunk checksum (CRC-32, reflected, polynomial 0xEDB88320).
uint32_t Crc32(std::span<const uint8_t> bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (const uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

TEST(PictureFiles, PngAndBmpRoundTripsAreExact) {
  const RgbPicture picture = testing::PatternPicture(37, 21);  // odd: BMP rows padded
  for (const PictureFormat format : {PictureFormat::kPng, PictureFormat::kBmp}) {
    const std::vector<uint8_t> file = EncodePicture(picture, format);
    EXPECT_EQ(FormatOfContents(file), format);
    const RgbPicture back = DecodePicture(file, "round trip");
    EXPECT_EQ(back.width, 37u);
    EXPECT_EQ(back.height, 21u);
    EXPECT_EQ(back.pixels, picture.pixels);
  }
}

TEST(PictureFiles, JpegRoundTripStaysClose) {
  const RgbPicture picture = testing::SmoothPicture(120, 80);
  const std::vector<uint8_t> file = EncodeJpeg(picture, 95);
  EXPECT_EQ(FormatOfContents(file), PictureFormat::kJpeg);
  const RgbPicture back = DecodePicture(file, "smooth.jpg");
  ASSERT_EQ(back.width, 120u);
  ASSERT_EQ(back.height, 80u);
  EXPECT_GT(Psnr(picture, back), 38.0);
  // A lower quality is smaller and further off.
  const std::vector<uint8_t> rough = EncodeJpeg(picture, 20);
  EXPECT_LT(rough.size(), file.size());
  EXPECT_LT(Psnr(picture, DecodeJpeg(rough, "rough.jpg")), Psnr(picture, back));
  EXPECT_THROW(EncodeJpeg(picture, 0), PictureError);
}

TEST(PictureFiles, WrittenByNameReadByContents) {
  TempFolder folder;
  const RgbPicture picture = testing::PatternPicture(16, 8);
  for (const char* name : {"a.PNG", "b.bmp", "c.Jpg", "d.jpeg"}) {
    WritePicture(folder / name, picture);
    const RgbPicture back = ReadPicture(folder / name);
    EXPECT_EQ(back.width, 16u) << name;
    EXPECT_GT(Psnr(picture, back), 20.0) << name;
  }
  // A JPEG file named .png still reads: the contents decide.
  ::ksv::testing::WriteFile(folder / "really_a_jpeg.png", EncodeJpeg(picture));
  EXPECT_EQ(ReadPicture(folder / "really_a_jpeg.png").width, 16u);
  EXPECT_THROW(WritePicture(folder / "e.gif", picture), PictureError);
  EXPECT_EQ(FormatOfName("x.JPEG"), PictureFormat::kJpeg);
  EXPECT_EQ(FormatOfName("x.png.txt"), std::nullopt);
  EXPECT_EQ(FormatOfName("png"), std::nullopt);
}

TEST(PictureFiles, EveryCutOfAFileIsRefusedWithItsName) {
  const RgbPicture picture = testing::PatternPicture(24, 16);
  for (const PictureFormat format :
       {PictureFormat::kPng, PictureFormat::kJpeg, PictureFormat::kBmp}) {
    const std::vector<uint8_t> file = EncodePicture(picture, format);
    for (size_t cut = 0; cut < file.size(); cut += (cut < 64 ? 1 : 37)) {
      const std::vector<uint8_t> shorter(file.begin(), file.begin() + static_cast<ptrdiff_t>(cut));
      try {
        DecodePicture(shorter, "cut.file");
        ADD_FAILURE() << "a file of " << cut << " of " << file.size() << " bytes decoded";
      } catch (const PictureError& failure) {
        EXPECT_NE(std::string(failure.what()).find("'cut.file'"), std::string::npos)
            << failure.what();
        EXPECT_FALSE(failure.cause().empty());
      }
    }
  }
}

TEST(PictureFiles, DamagedDataIsRefusedNotPassedOn) {
  const RgbPicture picture = testing::SmoothPicture(64, 64);
  std::vector<uint8_t> jpeg = EncodeJpeg(picture);
  // Markers where entropy-coded data should be: just after the scan header.
  static constexpr uint8_t kStartOfScan[] = {0xFF, 0xDA};
  const size_t scan = static_cast<size_t>(
      std::search(jpeg.begin(), jpeg.end(), std::begin(kStartOfScan), std::end(kStartOfScan)) -
      jpeg.begin());
  ASSERT_LT(scan + 60, jpeg.size());
  for (size_t i = scan + 20; i < scan + 60; i += 2) {
    jpeg[i] = 0xFF;
    jpeg[i + 1] = 0xD5;
  }
  EXPECT_THROW(DecodePicture(jpeg, "damaged.jpg"), PictureError);

  std::vector<uint8_t> png = EncodePng(picture);
  png[png.size() / 2] ^= 0x55;  // the data no longer matches its checksum
  EXPECT_THROW(DecodePicture(png, "damaged.png"), PictureError);
}

TEST(PictureFiles, HostileSizesAreRefusedBeforeDecoding) {
  // A PNG header (with its checksum made right) naming 100000 x 100000 pixels.
  std::vector<uint8_t> png = EncodePng(testing::PatternPicture(4, 4));
  const uint8_t huge[] = {0x00, 0x01, 0x86, 0xA0};
  std::copy(huge, huge + 4, png.begin() + 16);
  std::copy(huge, huge + 4, png.begin() + 20);
  const uint32_t crc = Crc32(std::span<const uint8_t>(png).subspan(12, 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  try {
    DecodePng(png, "huge.png");
    FAIL();
  } catch (const PictureError& failure) {
    EXPECT_NE(failure.cause().find("larger than"), std::string::npos) << failure.cause();
  }
  // A BMP header naming 10000 x 7000 pixels of 1 bit in a file that holds them.
  std::vector<uint8_t> bmp = EncodeBmp(testing::PatternPicture(2, 2));
  const uint8_t width[] = {0x10, 0x27, 0, 0};
  const uint8_t height[] = {0x58, 0x1B, 0, 0};
  std::copy(width, width + 4, bmp.begin() + 18);
  std::copy(height, height + 4, bmp.begin() + 22);
  bmp[28] = 1;
  bmp.resize(54 + 8 + size_t{1252} * 7000, 0);
  try {
    DecodeBmp(bmp, "huge.bmp");
    FAIL();
  } catch (const PictureError& failure) {
    EXPECT_NE(failure.cause().find("larger than"), std::string::npos) << failure.cause();
  }
}

TEST(PictureFiles, TextIsNotAPicture) {
  const std::string text = "hello, this is not a picture\n";
  try {
    DecodePicture({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "notes.txt");
    FAIL();
  } catch (const PictureError& failure) {
    EXPECT_EQ(std::string(failure.what()), "'notes.txt': not a PNG, JPEG or BMP file");
  }
  TempFolder folder;
  EXPECT_THROW(ReadPicture(folder / "missing.png"), FileError);
}

TEST(ReadPicture, ReadsTheTestPhotographAsRgb) {
  const RgbPicture photo = ReadPicture(support::TestDataPath("photos/chelsea.png"));
  EXPECT_EQ(photo.width, 400u);
  EXPECT_EQ(photo.height, 266u);
  ASSERT_EQ(photo.pixels.size(), size_t{400} * 266 * 3);
  // Not a uniform buffer: a real picture has varied samples.
  EXPECT_NE(std::count(photo.pixels.begin(), photo.pixels.end(), photo.pixels[0]),
            static_cast<std::ptrdiff_t>(photo.pixels.size()));
}

TEST(ReadPicture, ExpandsGreyscaleToEqualChannels) {
  const std::string path = ::testing::TempDir() + "simcam_grey_" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                           ".png";
  const uint8_t grey[6] = {0, 40, 80, 120, 200, 255};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 3;
  image.height = 2;
  image.format = PNG_FORMAT_GRAY;
  ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, grey, 0, nullptr), 0) << image.message;

  const RgbPicture picture = ReadPicture(path);
  std::remove(path.c_str());
  ASSERT_EQ(picture.width, 3u);
  ASSERT_EQ(picture.height, 2u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(picture.pixels[3 * i], grey[i]);
    EXPECT_EQ(picture.pixels[3 * i + 1], grey[i]);
    EXPECT_EQ(picture.pixels[3 * i + 2], grey[i]);
  }
}

TEST(ReadPicture, NamesTheFileWhenItCannotBeRead) {
  const std::string missing = ::testing::TempDir() + "no_such_picture.png";
  try {
    ReadPicture(missing);
    FAIL() << "a missing file was read";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
  }
  // A file that is not a PNG.
  EXPECT_THROW(ReadPicture(support::TestDataPath("frames/README.md")),
               std::runtime_error);
}

}  // namespace
}  // namespace ksv::picture
