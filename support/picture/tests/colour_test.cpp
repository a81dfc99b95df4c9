#include "support/picture/colour.h"

#include <gtest/gtest.h>

#include "codec/colour_convert.h"
#include "support/picture/tests/test_pictures.h"

namespace ksv::picture {
namespace {

// Planar samples that vary everywhere, wider than the codec's row limit so
// the strips are stitched.
PlanarPicture VariedPlanar(uint32_t width, uint32_t height) {
  PlanarPicture planar = BlankPlanar(width, height);
  for (size_t i = 0; i < planar.samples.size(); ++i) {
    planar.samples[i] = static_cast<uint8_t>(i * 37 + i / 7);
  }
  return planar;
}

TEST(PlanarToRgb, GivesTheCodecsPlanarFormPixelByPixelAcrossStrips) {
  for (const uint32_t width : {2u, 6u, 1026u, 2100u}) {
    const PlanarPicture planar = VariedPlanar(width, 4);
    const RgbPicture rgb = PlanarToRgb(planar);
    const uint8_t* cb = planar.samples.data() + size_t{width} * 4;
    const uint8_t* cr = cb + size_t{width / 2} * 2;
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        uint8_t r, g, b;
        const size_t chroma = size_t{y / 2} * (width / 2) + x / 2;
        codec::PlanarPixel(planar.samples[size_t{y} * width + x], cb[chroma], cr[chroma], r, g, b);
        const uint8_t* pixel = rgb.pixels.data() + (size_t{y} * width + x) * 3;
        ASSERT_EQ(pixel[0], r) << width << " wide, at " << x << "," << y;
        ASSERT_EQ(pixel[1], g) << width << " wide, at " << x << "," << y;
        ASSERT_EQ(pixel[2], b) << width << " wide, at " << x << "," << y;
      }
    }
  }
}

TEST(PlanarToRgb, RefusesOddSizesAndShortInput) {
  EXPECT_THROW(PlanarToRgb(std::vector<uint8_t>(32), 3, 2), PictureError);
  EXPECT_THROW(PlanarToRgb(std::vector<uint8_t>(5), 2, 2), PictureError);
  EXPECT_THROW(PlanarToRgb(PlanarPicture{4, 4, std::vector<uint8_t>(10)}), PictureError);
}

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
  const PlanarPicture planar = RgbToPlanar(Uniform(2, 2, r, g, b));
  return {planar.samples[0], planar.samples[4], planar.samples[5]};
}

TEST(RgbToPlanar, ConvertsPrimariesWithFullRangeBt601) {
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

TEST(RgbToPlanar, AveragesChromaOverEachTwoByTwoSquare) {
  // 4 x 2: left square red over black, right square all blue.
  RgbPicture picture{4, 2, {255, 0, 0, 0,   0, 0, 0, 0, 255, 0, 0, 255,  //
                            0,   0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255}};
  const PlanarPicture planar = RgbToPlanar(picture);
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

TEST(RgbToPlanar, RefusesOddSizesAndShortPixelData) {
  EXPECT_THROW(RgbToPlanar(Uniform(3, 2, 0, 0, 0)), PictureError);
  EXPECT_THROW(RgbToPlanar(Uniform(2, 5, 0, 0, 0)), PictureError);
  RgbPicture shortPicture = Uniform(4, 4, 0, 0, 0);
  shortPicture.pixels.pop_back();
  EXPECT_THROW(RgbToPlanar(shortPicture), PictureError);
}

TEST(RgbToPlanar, AndBackStaysCloseToASmoothPicture) {
  const RgbPicture smooth = testing::SmoothPicture(64, 48);
  const RgbPicture back = PlanarToRgb(RgbToPlanar(smooth));
  int worst = 0;
  for (size_t i = 0; i < smooth.pixels.size(); ++i) {
    worst = std::max(worst, std::abs(int{smooth.pixels[i]} - int{back.pixels[i]}));
  }
  EXPECT_LE(worst, 4);
}

TEST(FromBottomUp24, TurnsDecoderRowsIntoTopDownRgb) {
  // Two rows of one pixel: the bottom row first.
  const std::vector<uint8_t> bgr = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(FromBottomUp24(bgr, 1, 2, ChannelOrder::kBgr).pixels,
            (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(FromBottomUp24(bgr, 1, 2, ChannelOrder::kRgb).pixels,
            (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));
  EXPECT_THROW(FromBottomUp24(bgr, 2, 2, ChannelOrder::kBgr), PictureError);
}

TEST(ToBitmapRows, PadsEachRowAndStoresTheBottomRowFirst) {
  const RgbPicture picture = testing::PatternPicture(3, 2);
  const std::vector<uint8_t> rows = ToBitmapRows(picture);
  ASSERT_EQ(rows.size(), 2 * BitmapRowBytes(3));
  EXPECT_EQ(BitmapRowBytes(3), 12u);
  // First stored pixel: the bottom-left pixel as B, G, R.
  const uint8_t* bottomLeft = picture.pixels.data() + 3 * 3;
  EXPECT_EQ(rows[0], bottomLeft[2]);
  EXPECT_EQ(rows[2], bottomLeft[0]);
  EXPECT_EQ(rows[9], 0);  // padding
  EXPECT_EQ(
      FromBottomUp24(std::vector<uint8_t>(rows.begin(), rows.begin() + 9), 3, 1, ChannelOrder::kBgr)
          .pixels,
      std::vector<uint8_t>(picture.pixels.begin() + 9, picture.pixels.end()));
}

}  // namespace
}  // namespace ksv::picture
