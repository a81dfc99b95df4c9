#include "apps/ksvcam/picture_convert.h"

#include <gtest/gtest.h>

namespace ksv::ksvcam {
namespace {

TEST(FromBottomUp24, FlipsRowsAndReordersBgr) {
  // Bottom row first: bottom-left (1,2,3) as B,G,R, bottom-right (4,5,6).
  const std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const simcam::RgbPicture picture = FromBottomUp24(bgr, {2, 2}, ChannelOrder::kBgr);
  EXPECT_EQ(picture.pixels, (std::vector<uint8_t>{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
}

TEST(FromBottomUp24, RgbOrderGivesTheSamePictureWithBytesExchanged) {
  const std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  std::vector<uint8_t> rgb = bgr;
  for (size_t i = 0; i < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
  EXPECT_EQ(FromBottomUp24(bgr, {3, 2}, ChannelOrder::kBgr).pixels,
            FromBottomUp24(rgb, {3, 2}, ChannelOrder::kRgb).pixels);
}

TEST(FromBottomUp24, RefusesShortInput) {
  const std::vector<uint8_t> bytes(2 * 2 * 3 - 1);
  EXPECT_THROW(FromBottomUp24(bytes, {2, 2}, ChannelOrder::kBgr), std::invalid_argument);
}

// A 2 x 2 picture: four luma samples, one Cb, one Cr.
std::vector<uint8_t> OneGroup(uint8_t y, uint8_t cb, uint8_t cr) { return {y, y, y, y, cb, cr}; }

TEST(PlanarToRgb, MidGreyStaysGrey) {
  const auto picture = PlanarToRgb(OneGroup(128, 128, 128), {2, 2});
  EXPECT_EQ(picture.pixels, std::vector<uint8_t>(12, 128));
}

TEST(PlanarToRgb, UsesFixedPointFormulasTruncatingTowardMinusInfinity) {
  // R = (50*65536 - 28*91881) >> 16 = 10 (10.74), G = (50*65536 + 28*46801) >> 16 = 69
  // (69.995), B = 50.
  EXPECT_EQ(PlanarToRgb(OneGroup(50, 128, 100), {2, 2}).pixels[0], 10);
  EXPECT_EQ(PlanarToRgb(OneGroup(50, 128, 100), {2, 2}).pixels[1], 69);
  EXPECT_EQ(PlanarToRgb(OneGroup(50, 128, 100), {2, 2}).pixels[2], 50);
  // Y 200, Cb 240, Cr 16: R 42 (42.98), G 241 (241.44), B 398 clamped to 255.
  const auto picture = PlanarToRgb(OneGroup(200, 240, 16), {2, 2});
  EXPECT_EQ(picture.pixels[0], 42);
  EXPECT_EQ(picture.pixels[1], 241);
  EXPECT_EQ(picture.pixels[2], 255);
  // G 162.9986: one more in either G coefficient would make it 163.
  EXPECT_EQ(PlanarToRgb(OneGroup(40, 3, 16), {2, 2}).pixels[1], 162);
  // Strongly negative sums clamp to 0.
  EXPECT_EQ(PlanarToRgb(OneGroup(0, 0, 0), {2, 2}).pixels[0], 0);
}

TEST(PlanarToRgb, EachPixelTakesTheChromaOfItsTwoByTwoGroup) {
  // 4 x 2: left group neutral, right group strongly red; luma all 100.
  const std::vector<uint8_t> planar = {100, 100, 100, 100, 100, 100, 100, 100,  // Y
                                       128, 128,                                // Cb
                                       128, 255};                               // Cr
  const auto picture = PlanarToRgb(planar, {4, 2});
  for (uint32_t y = 0; y < 2; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint8_t red = picture.pixels[(y * 4 + x) * 3];
      EXPECT_EQ(red, x < 2 ? 100 : 255) << "pixel " << x << "," << y;
    }
  }
}

TEST(PlanarToRgb, RefusesOddSizesAndShortInput) {
  EXPECT_THROW(PlanarToRgb(std::vector<uint8_t>(32), {3, 2}), std::invalid_argument);
  EXPECT_THROW(PlanarToRgb(std::vector<uint8_t>(5), {2, 2}), std::invalid_argument);
}

}  // namespace
}  // namespace ksv::ksvcam
