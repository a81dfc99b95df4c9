// The conversions between RGB DIBs and I420: the BT.601 video-range values
// of known colours, the row order of both layouts, odd sizes, and round
// trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/media/codecs/convert.h"
#include "platform/media/codecs/tests/test_pictures.h"

namespace ksv::media::codecs {
namespace {

using testing::Psnr;
using testing::Scene;

// A one-colour RGB24 picture.
std::vector<uint8_t> Filled(const PictureFormat& format, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> picture(ImageSize(format));
  for (int y = 0; y < format.height; ++y) {
    for (int x = 0; x < format.width; ++x) {
      uint8_t* pixel = picture.data() + size_t(RowStride(format)) * y + 3 * x;
      pixel[0] = b;
      pixel[1] = g;
      pixel[2] = r;
    }
  }
  return picture;
}

TEST(Convert, KnownColoursTakeTheirVideoRangeValuesAndComeBack) {
  struct Colour {
    uint8_t r, g, b;
    int y, u, v;
  };
  const Colour colours[] = {
      {255, 255, 255, 235, 128, 128},
      {0, 0, 0, 16, 128, 128},
      {255, 0, 0, 81, 90, 240},
      {0, 255, 0, 145, 54, 34},
      {0, 0, 255, 41, 240, 110},
  };
  const PictureFormat rgb{4, 2, PixelFormat::kRgb24};
  const PictureFormat i420{4, 2, PixelFormat::kI420};
  for (const Colour& colour : colours) {
    SCOPED_TRACE(::testing::Message() << int(colour.r) << "," << int(colour.g) << ","
                                      << int(colour.b));
    const std::vector<uint8_t> picture = Filled(rgb, colour.r, colour.g, colour.b);
    std::vector<uint8_t> planes(ImageSize(i420));
    ASSERT_TRUE(ConvertPicture(rgb, picture.data(), i420, planes.data()));
    const I420Planes p = I420PlanesOf(i420, planes.data());
    EXPECT_NEAR(p.y[5], colour.y, 1);
    EXPECT_NEAR(p.u[1], colour.u, 1);
    EXPECT_NEAR(p.v[1], colour.v, 1);
    std::vector<uint8_t> back(ImageSize(rgb));
    ASSERT_TRUE(ConvertPicture(i420, planes.data(), rgb, back.data()));
    EXPECT_GT(Psnr(rgb, picture, back), 40);
  }
}

TEST(Convert, RowsKeepTheirPlaceBetweenBottomUpRgbAndTopDownPlanes) {
  // Picture rows 0 and 1 red, rows 2 to 4 black; 5 x 5: odd sizes, padded
  // RGB rows (15 bytes -> 16) and chroma planes of 3 x 3.
  const PictureFormat rgb{5, 5, PixelFormat::kRgb24};
  const PictureFormat rgb32{5, 5, PixelFormat::kRgb32};
  const PictureFormat i420{5, 5, PixelFormat::kI420};
  ASSERT_EQ(RowStride(rgb), 16);
  ASSERT_EQ(ImageSize(i420), 25u + 2 * 9);
  std::vector<uint8_t> picture(ImageSize(rgb), 0);
  for (int row = 3; row < 5; ++row) {  // DIB rows 3 and 4 are picture rows 1 and 0
    for (int x = 0; x < 5; ++x) picture[size_t(row) * 16 + 3 * x + 2] = 255;
  }
  std::vector<uint8_t> planes(ImageSize(i420));
  ASSERT_TRUE(ConvertPicture(rgb, picture.data(), i420, planes.data()));
  const I420Planes p = I420PlanesOf(i420, planes.data());
  EXPECT_NEAR(p.y[0], 81, 1);       // picture row 0
  EXPECT_EQ(p.y[5 * 4 + 4], 16);    // picture row 4, last column
  EXPECT_NEAR(p.v[2], 240, 1);      // the odd last column of rows 0 and 1
  EXPECT_EQ(p.v[3], 128);           // rows 2 and 3
  EXPECT_EQ(p.v[2 * 3 + 2], 128);   // the odd last row alone

  std::vector<uint8_t> wide(ImageSize(rgb32));
  ASSERT_TRUE(ConvertPicture(i420, planes.data(), rgb32, wide.data()));
  EXPECT_EQ(wide[4 * 20 + 2], 255);  // DIB row 4 = picture row 0: red
  EXPECT_EQ(wide[2], 0);             // DIB row 0 = picture row 4: black
  std::vector<uint8_t> narrow(ImageSize(rgb), 7);
  ASSERT_TRUE(ConvertPicture(rgb32, wide.data(), rgb, narrow.data()));
  EXPECT_GT(Psnr(rgb, picture, narrow), 40);
  EXPECT_EQ(narrow[15], 7);          // row padding is left alone
}

TEST(Convert, ASceneSurvivesTheRoundTripAndMismatchedSizesAreRefused) {
  const PictureFormat rgb{64, 48, PixelFormat::kRgb24};
  const PictureFormat i420{64, 48, PixelFormat::kI420};
  const std::vector<uint8_t> scene = Scene(64, 48);
  std::vector<uint8_t> planes(ImageSize(i420)), back(ImageSize(rgb));
  ASSERT_TRUE(ConvertPicture(rgb, scene.data(), i420, planes.data()));
  ASSERT_TRUE(ConvertPicture(i420, planes.data(), rgb, back.data()));
  EXPECT_GT(Psnr(rgb, scene, back), 30);
  EXPECT_FALSE(ConvertPicture(rgb, scene.data(), PictureFormat{64, 46, PixelFormat::kI420},
                              planes.data()));
  EXPECT_FALSE(ConvertPicture(PictureFormat{0, 48, PixelFormat::kRgb24}, scene.data(),
                              PictureFormat{0, 48, PixelFormat::kI420}, planes.data()));
}

// Every pixel of planes of every byte value, at widths that end inside a
// sixteen-pixel group and right after one, takes the fixed-point BT.601
// value in both DIB forms, and the row padding after it is left alone.
TEST(Convert, EveryPlanePixelTakesItsFixedPointValue) {
  const auto clamped = [](int sum) { return std::clamp(sum >> 8, 0, 255); };
  for (const int width : {53, 33, 320}) {
    const PictureFormat i420{width, 6, PixelFormat::kI420};
    std::vector<uint8_t> planes(ImageSize(i420));
    uint32_t seed = 12345;
    for (uint8_t& byte : planes) byte = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    const I420Planes p = I420PlanesOf(i420, planes.data());
    for (const PixelFormat form : {PixelFormat::kRgb24, PixelFormat::kRgb32}) {
      SCOPED_TRACE(::testing::Message() << "width " << width << (form == PixelFormat::kRgb32 ? " rgb32" : " rgb24"));
      const PictureFormat rgb{width, 6, form};
      const int step = form == PixelFormat::kRgb32 ? 4 : 3;
      std::vector<uint8_t> out(ImageSize(rgb), 0xA5);
      ASSERT_TRUE(ConvertPicture(i420, planes.data(), rgb, out.data()));
      int wrong = 0;
      for (int y = 0; y < 6; ++y) {
        const uint8_t* row = out.data() + size_t(RowStride(rgb)) * (5 - y);
        for (int x = 0; x < width; ++x) {
          const int c = 298 * (p.y[y * p.yStride + x] - 16) + 128;
          const int d = p.u[(y / 2) * p.chromaStride + x / 2] - 128;
          const int e = p.v[(y / 2) * p.chromaStride + x / 2] - 128;
          const uint8_t* pixel = row + step * x;
          wrong += pixel[0] != clamped(c + 516 * d);
          wrong += pixel[1] != clamped(c - 100 * d - 208 * e);
          wrong += pixel[2] != clamped(c + 409 * e);
          if (step == 4) wrong += pixel[3] != 0;
        }
        for (int x = step * width; x < RowStride(rgb); ++x) wrong += row[x] != 0xA5;
      }
      EXPECT_EQ(wrong, 0);
    }
  }
}

TEST(Convert, VideoRangePlanesStretchToJpegFullRange) {
  const PictureFormat i420{2, 2, PixelFormat::kI420};
  std::vector<uint8_t> planes = {16, 235, 126, 10, 16, 240};
  I420VideoToFullRange(i420, planes.data());
  EXPECT_EQ(planes[0], 0);
  EXPECT_EQ(planes[1], 255);
  EXPECT_NEAR(planes[2], 128, 1);  // (126 - 16) * 255 / 219
  EXPECT_EQ(planes[3], 0);         // below the range stays at its floor
  EXPECT_EQ(planes[4], 0);
  EXPECT_EQ(planes[5], 255);
}

}  // namespace
}  // namespace ksv::media::codecs
