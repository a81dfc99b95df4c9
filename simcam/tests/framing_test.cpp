#include "simcam/framing.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ksv::simcam {
namespace {

picture::RgbPicture Uniform(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  picture::RgbPicture picture{width, height, {}};
  for (uint32_t i = 0; i < width * height; ++i)
    picture.pixels.insert(picture.pixels.end(), {r, g, b});
  return picture;
}

TEST(FitToSize, AveragesTheAreaEachOutputPixelCovers) {
  picture::RgbPicture picture{4, 4, {}};
  for (uint8_t i = 0; i < 16; ++i) picture.pixels.insert(picture.pixels.end(), {i, 0, 200});
  const picture::RgbPicture half = FitToSize(picture, 2, 2);
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
  picture::RgbPicture picture{6, 2, {}};
  for (uint8_t row = 0; row < 2; ++row) {
    for (uint8_t col = 0; col < 6; ++col) {
      picture.pixels.insert(picture.pixels.end(), {static_cast<uint8_t>(col * 10), row, 0});
    }
  }
  const picture::RgbPicture fitted = FitToSize(picture, 2, 2);
  EXPECT_EQ(fitted.pixels, (std::vector<uint8_t>{20, 0, 0, 30, 0, 0, 20, 1, 0, 30, 1, 0}));
}

TEST(FitToSize, KeepsUniformPicturesUniformAtAnyScale) {
  const picture::RgbPicture source = Uniform(451, 300, 10, 200, 30);
  for (auto [width, height] : {std::pair{320u, 240u}, {160u, 128u}, {640u, 480u}}) {
    const picture::RgbPicture fitted = FitToSize(source, width, height);
    ASSERT_EQ(fitted.pixels.size(), size_t{width} * height * 3);
    EXPECT_EQ(fitted.pixels, Uniform(width, height, 10, 200, 30).pixels) << width << "x" << height;
  }
}

TEST(FitToSize, RefusesEmptySizes) {
  EXPECT_THROW(FitToSize(Uniform(4, 4, 0, 0, 0), 0, 4), std::invalid_argument);
  EXPECT_THROW(FitToSize(picture::RgbPicture{}, 4, 4), std::invalid_argument);
}

}  // namespace
}  // namespace ksv::simcam
