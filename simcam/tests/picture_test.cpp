#include "simcam/picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "simcam/tests/test_files.h"

namespace ksv::simcam {
namespace {

RgbPicture Uniform(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  RgbPicture picture{width, height, {}};
  for (uint32_t i = 0; i < width * height; ++i)
    picture.pixels.insert(picture.pixels.end(), {r, g, b});
  return picture;
}

struct Ycc {
  int y, cb, cr;
};

Ycc PlanarOfColour(uint8_t r, uint8_t g, uint8_t b) {
  const PlanarPicture planar = ToPlanar(Uniform(2, 2, r, g, b));
  return {planar.samples[0], planar.samples[4], planar.samples[5]};
}

TEST(ToPlanar, ConvertsPrimariesWithFullRangeBt601) {
  struct Case {
    uint8_t r, g, b;
    int y, cb, cr;
  };
  // Y = .299 R + .587 G + .114 B; Cb, Cr centred on 128, clamped to 255.
  const Case cases[] = {{0, 0, 0, 0, 128, 128},    {255, 255, 255, 255, 128, 128},
                        {255, 0, 0, 76, 85, 255},  {0, 255, 0, 150, 44, 21},
                        {0, 0, 255, 29, 255, 107}, {100, 150, 200, 141, 161, 99}};
  for (const Case& c : cases) {
    const Ycc ycc = PlanarOfColour(c.r, c.g, c.b);
    EXPECT_EQ(ycc.y, c.y) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    EXPECT_EQ(ycc.cb, c.cb) << int{c.r} << "," << int{c.g} << "," << int{c.b};
    EXPECT_EQ(ycc.cr, c.cr) << int{c.r} << "," << int{c.g} << "," << int{c.b};
  }
}

TEST(ToPlanar, AveragesChromaOverEachTwoByTwoSquare) {
  // 4 x 2: left square red over black, right square all blue.
  RgbPicture picture{4, 2, {255, 0, 0, 0,   0, 0, 0, 0, 255, 0, 0, 255,  //
                            0,   0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}};
  const PlanarPicture planar = ToPlanar(picture);
  ASSERT_EQ(planar.samples.size(), 12u);
  EXPECT_EQ(planar.samples[0], 76);  // luminance stays per pixel
  EXPECT_EQ(planar.samples[1], 0);
  EXPECT_EQ(planar.samples[5], 76);
  // Half red: Cb 128 - 43.03 / 2, Cr 128 + 127.5 / 2.
  EXPECT_EQ(planar.samples[8], 106);
  EXPECT_EQ(planar.samples[9], 255);
  EXPECT_EQ(planar.samples[10], 192);
  EXPECT_EQ(planar.samples[11], 107);
}

TEST(ToPlanar, RefusesOddSizesAndShortPixelData) {
  EXPECT_THROW(ToPlanar(Uniform(3, 2, 0, 0, 0)), std::invalid_argument);
  EXPECT_THROW(ToPlanar(Uniform(2, 5, 0, 0, 0)), std::invalid_argument);
  RgbPicture shortPicture = Uniform(4, 4, 0, 0, 0);
  shortPicture.pixels.pop_back();
  EXPECT_THROW(ToPlanar(shortPicture), std::invalid_argument);
}

TEST(FitToSize, AveragesTheAreaEachOutputPixelCovers) {
  RgbPicture picture{4, 4, {}};
  for (uint8_t i = 0; i < 16; ++i) picture.pixels.insert(picture.pixels.end(), {i, 0, 200});
  const RgbPicture half = FitToSize(picture, 2, 2);
  ASSERT_EQ(half.pixels.size(), 12u);
  // Means of (0,1,4,5), (2,3,6,7), (8,9,12,13), (10,11,14,15), rounded.
  EXPECT_EQ(half.pixels[0], 3);
  EXPECT_EQ(half.pixels[3], 5);
  EXPECT_EQ(half.pixels[6], 11);
  EXPECT_EQ(half.pixels[9], 13);
  EXPECT_EQ(half.pixels[2], 200);
}

TEST(FitToSize, CropsTheCentreToTheTargetAspect) {
  // 6 x 2 to 2 x 2 keeps columns 2 and 3.
  RgbPicture picture{6, 2, {}};
  for (uint8_t row = 0; row < 2; ++row) {
    for (uint8_t col = 0; col < 6; ++col) {
      picture.pixels.insert(picture.pixels.end(), {static_cast<uint8_t>(col * 10), row, 0});
    }
  }
  const RgbPicture fitted = FitToSize(picture, 2, 2);
  EXPECT_EQ(fitted.pixels, (std::vector<uint8_t>{20, 0, 0, 30, 0, 0, 20, 1, 0, 30, 1, 0}));
}

TEST(FitToSize, KeepsUniformPicturesUniformAtAnyScale) {
  const RgbPicture source = Uniform(451, 300, 10, 200, 30);
  for (auto [width, height] : {std::pair{320u, 240u}, {160u, 128u}, {640u, 480u}}) {
    const RgbPicture fitted = FitToSize(source, width, height);
    ASSERT_EQ(fitted.pixels.size(), size_t{width} * height * 3);
    EXPECT_EQ(fitted.pixels, Uniform(width, height, 10, 200, 30).pixels) << width << "x" << height;
  }
}

TEST(FitToSize, RefusesEmptySizes) {
  EXPECT_THROW(FitToSize(Uniform(4, 4, 0, 0, 0), 0, 4), std::invalid_argument);
  EXPECT_THROW(FitToSize(RgbPicture{}, 4, 4), std::invalid_argument);
}

TEST(ReadPng, ReadsTheTestPhotographAsRgb) {
  const RgbPicture photo = ReadPng(testfiles::DataPath("photos/chelsea.png"));
  EXPECT_EQ(photo.width, 400u);
  EXPECT_EQ(photo.height, 266u);
  ASSERT_EQ(photo.pixels.size(), size_t{400} * 266 * 3);
  // Not a uniform buffer: a real picture has varied samples.
  EXPECT_NE(std::count(photo.pixels.begin(), photo.pixels.end(), photo.pixels[0]),
            static_cast<std::ptrdiff_t>(photo.pixels.size()));
}

TEST(ReadPng, ExpandsGreyscaleToEqualChannels) {
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

  const RgbPicture picture = ReadPng(path);
  std::remove(path.c_str());
  ASSERT_EQ(picture.width, 3u);
  ASSERT_EQ(picture.height, 2u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(picture.pixels[3 * i], grey[i]);
    EXPECT_EQ(picture.pixels[3 * i + 1], grey[i]);
    EXPECT_EQ(picture.pixels[3 * i + 2], grey[i]);
  }
}

TEST(ReadPng, NamesTheFileWhenItCannotBeRead) {
  const std::string missing = ::testing::TempDir() + "no_such_picture.png";
  try {
    ReadPng(missing);
    FAIL() << "a missing file was read";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
  }
  // A file that is not a PNG.
  EXPECT_THROW(ReadPng(testfiles::DataPath("frames/README.md")), std::runtime_error);
}

}  // namespace
}  // namespace ksv::simcam
