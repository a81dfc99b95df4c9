// Colour conversion: the two arithmetic forms by hand, and the SIMD form
// against the table form for every (Y, Cb, Cr).
#include <gtest/gtest.h>

#include <vector>

#include "codec/colour_convert.h"

namespace ksv::codec {
namespace {

struct Rgb {
  uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

Rgb Direct(int y, int cb, int cr) {
  Rgb p{};
  DirectPixel(y, cb, cr, p.r, p.g, p.b);
  return p;
}

Rgb Planar(int y, int cb, int cr) {
  Rgb p{};
  PlanarPixel(y, cb, cr, p.r, p.g, p.b);
  return p;
}

TEST(ColourFormulas, NeutralChromaKeepsLuma) {
  for (int y : {0, 1, 128, 254, 255}) {
    EXPECT_EQ(Direct(y, 128, 128), (Rgb{uint8_t(y), uint8_t(y), uint8_t(y)}));
    EXPECT_EQ(Planar(y, 128, 128), (Rgb{uint8_t(y), uint8_t(y), uint8_t(y)}));
  }
}

TEST(ColourFormulas, WorkedExampleShowsTheGreenDifference) {
  // R = 100 + floor(2021382 / 65536) = 130; B = 100 + floor(8361288 / 65536) = 227.
  // Direct G = 100 - 24 - 15 = 61; planar G = floor(3900162 / 65536) = 59.
  EXPECT_EQ(Direct(100, 200, 150), (Rgb{130, 61, 227}));
  EXPECT_EQ(Planar(100, 200, 150), (Rgb{130, 59, 227}));
}

TEST(ColourFormulas, ClampAtBothEnds) {
  EXPECT_EQ(Direct(0, 0, 255), (Rgb{178, 0, 0}));
  EXPECT_EQ(Direct(255, 255, 0), (Rgb{75, 255, 255}));
  EXPECT_EQ(Planar(255, 255, 255).r, 255);
  EXPECT_EQ(Planar(0, 0, 0).r, 0);
}

// Converts with `fn` a picture in which every (Cb, Cr) pair meets every Y:
// one call per (Cr, quarter of the Y range), Cb running along the row.
std::vector<uint8_t> ConvertEverything(ConvertToRgb24Fn fn, ColourForm form, bool rgbOrder, int crStep) {
  constexpr uint32_t kWidth = 512;  // 256 groups: Cb 0..255
  std::vector<uint8_t> luma(2 * kWidth), cb(256), cr(256), out;
  std::vector<uint8_t> rows(2 * kWidth * 3);
  for (int c = 0; c < 256; ++c) cb[static_cast<size_t>(c)] = static_cast<uint8_t>(c);
  for (int crValue = 0; crValue < 256; crValue += crStep) {
    std::fill(cr.begin(), cr.end(), static_cast<uint8_t>(crValue));
    for (int yBase = 0; yBase < 256; yBase += 4) {
      for (uint32_t x = 0; x < kWidth; ++x) {
        luma[x] = static_cast<uint8_t>(yBase + (x % 2));
        luma[kWidth + x] = static_cast<uint8_t>(yBase + 2 + (x % 2));
      }
      ColourRows c{luma.data(), kWidth, cb.data(), cr.data(), 256, kWidth, 2, rows.data(), kWidth * 3};
      fn(c, form, rgbOrder, nullptr);
      out.insert(out.end(), rows.begin(), rows.end());
    }
  }
  return out;
}

TEST(ColourConversion, SimdFormEqualsTheTableFormForEveryInput) {
  if (!ConvertToRgb24Simd) GTEST_SKIP() << "no SIMD form in this build";
  for (ColourForm form : {ColourForm::kDirect, ColourForm::kPlanar}) {
    auto reference = ConvertEverything(ConvertToRgb24Scalar, form, false, 1);
    auto simd = ConvertEverything(ConvertToRgb24Simd, form, false, 1);
    ASSERT_EQ(reference.size(), simd.size());
    ASSERT_TRUE(reference == simd) << "form " << static_cast<int>(form);
  }
  auto reference = ConvertEverything(ConvertToRgb24Scalar, ColourForm::kDirect, true, 17);
  auto simd = ConvertEverything(ConvertToRgb24Simd, ColourForm::kDirect, true, 17);
  EXPECT_TRUE(reference == simd);
  // A width that is no multiple of 32 (the widest SIMD step): its last 16 pixels.
  constexpr uint32_t kWidth = 48;
  std::vector<uint8_t> luma(2 * kWidth), chroma(kWidth);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i * 37 + 11);
  for (size_t i = 0; i < chroma.size(); ++i) chroma[i] = static_cast<uint8_t>(i * 53 + 7);
  std::vector<uint8_t> a(2 * kWidth * 3), b(2 * kWidth * 3);
  ColourRows rows{luma.data(), kWidth, chroma.data(), chroma.data() + kWidth / 2, kWidth / 2, kWidth, 2, a.data(), kWidth * 3};
  ConvertToRgb24Scalar(rows, ColourForm::kPlanar, false, nullptr);
  rows.out = b.data();
  ConvertToRgb24Simd(rows, ColourForm::kPlanar, false, nullptr);
  EXPECT_EQ(a, b);
}

TEST(ColourConversion, TableFormMatchesThePixelFormulas) {
  auto bgr = ConvertEverything(ConvertToRgb24Scalar, ColourForm::kPlanar, false, 51);
  size_t i = 0;
  for (int cr = 0; cr < 256; cr += 51) {
    for (int yBase = 0; yBase < 256; yBase += 4) {
      for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 512; ++x, i += 3) {
          Rgb p = Planar(yBase + 2 * row + x % 2, x / 2, cr);
          ASSERT_EQ((Rgb{bgr[i + 2], bgr[i + 1], bgr[i]}), p);
        }
      }
    }
  }
}

TEST(ColourConversion, BottomUpRowsOddRowCountAndGamma) {
  // Three rows, the third alone in its chroma group; rows stored bottom-up.
  const uint32_t width = 32;
  std::vector<uint8_t> luma(3 * width), cb(2 * 16, 128), cr(2 * 16, 128);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> gamma(256);
  for (int v = 0; v < 256; ++v) gamma[static_cast<size_t>(v)] = static_cast<uint8_t>(255 - v);
  std::vector<uint8_t> out(3 * width * 3, 0xEE);
  for (auto fn : {ConvertToRgb24Scalar, ConvertToRgb24}) {
    std::fill(out.begin(), out.end(), 0xEE);
    ColourRows c{luma.data(), width, cb.data(), cr.data(), 16, width, 3, out.data() + 2 * width * 3,
                 -static_cast<ptrdiff_t>(width) * 3};
    fn(c, ColourForm::kPlanar, false, gamma.data());
    for (uint32_t row = 0; row < 3; ++row)
      for (uint32_t x = 0; x < width; ++x)
        for (int ch = 0; ch < 3; ++ch)
          ASSERT_EQ(out[((2 - row) * width + x) * 3 + static_cast<size_t>(ch)], 255 - luma[row * width + x]);
  }
}

}  // namespace
}  // namespace ksv::codec
