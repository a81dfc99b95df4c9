#include "support/picture/psnr.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksv::picture {
namespace {

TEST(Psnr, OfKnownErrors) {
  // One sample of 100 off by 10: MSE 1, so 20 log10(255).
  std::vector<uint8_t> a(100, 50), b(100, 50);
  b[7] = 60;
  EXPECT_NEAR(Psnr(a, b), 48.1308, 1e-3);
  // Every sample off by the full range: 0 dB.
  EXPECT_NEAR(Psnr(std::vector<uint8_t>(8, 0), std::vector<uint8_t>(8, 255)), 0.0, 1e-9);
  // Off by 1 everywhere: 20 log10(255) = 48.13 too, whatever the direction.
  std::vector<uint8_t> up(a), down(a);
  for (auto& s : up) ++s;
  for (auto& s : down) --s;
  EXPECT_NEAR(Psnr(a, up), Psnr(down, a), 1e-12);
  EXPECT_TRUE(std::isinf(Psnr(a, a)));
}

TEST(Psnr, OfPicturesNeedsOneSize) {
  const RgbPicture a = BlankRgb(4, 2);
  RgbPicture b = BlankRgb(4, 2);
  b.pixels[0] = 255;  // MSE 255^2 / 24
  EXPECT_NEAR(Psnr(a, b), 10 * std::log10(24.0), 1e-9);
  EXPECT_THROW(Psnr(a, BlankRgb(2, 4)), PictureError);
  EXPECT_THROW(Psnr(BlankPlanar(4, 2), BlankPlanar(2, 4)), PictureError);
  EXPECT_THROW(Psnr(std::vector<uint8_t>{}, std::vector<uint8_t>{}), PictureError);
  EXPECT_THROW(Psnr(std::vector<uint8_t>(3), std::vector<uint8_t>(4)), PictureError);
}

}  // namespace
}  // namespace ksv::picture
