#include "common/bitmap_resample.h"

#include <gtest/gtest.h>

#include "common/tests/bitmap_test_support.h"

namespace ksv::common {
namespace {

using testing::BitmapWithRows;
using testing::RowOf;

TEST(Resample, BlendsNeighboursAndRepeatsTheEdgePixel) {
  // Two pixels across: blue 0 and 100, green 10 and 30, red 200 and 201.
  HGLOBAL source = BitmapWithRows(2, 1, 24, {{0, 10, 200, 100, 30, 201}});
  HGLOBAL wide = ResamplePackedBitmap(source, 4, 2);
  ASSERT_NE(wide, nullptr);
  // Source columns 0, 0.5, 1 and 1.5; past the right edge the pixel stands
  // in for its neighbour. Each value is the blend plus 0.5, truncated.
  // Red half-way: 200.5 + 0.5 truncates to 201.
  const std::vector<uint8_t> expected = {0, 10, 200, 50, 20, 201, 100, 30, 201, 100, 30, 201};
  EXPECT_EQ(RowOf(wide, 0, 12), expected);
  EXPECT_EQ(RowOf(wide, 1, 12), expected);  // the one row repeats downwards
  GlobalFree(wide);
  GlobalFree(source);
}

TEST(Resample, BlendsRowsInMemoryOrder) {
  HGLOBAL source = BitmapWithRows(1, 2, 24, {{0, 0, 0}, {255, 101, 1}});
  HGLOBAL tall = ResamplePackedBitmap(source, 1, 4);
  ASSERT_NE(tall, nullptr);
  EXPECT_EQ(RowOf(tall, 0, 3), (std::vector<uint8_t>{0, 0, 0}));
  EXPECT_EQ(RowOf(tall, 1, 3), (std::vector<uint8_t>{128, 51, 1}));  // 127.5 + 0.5, 50.5 + 0.5
  EXPECT_EQ(RowOf(tall, 2, 3), (std::vector<uint8_t>{255, 101, 1}));
  EXPECT_EQ(RowOf(tall, 3, 3), (std::vector<uint8_t>{255, 101, 1}));
  GlobalFree(tall);
  GlobalFree(source);
}

TEST(Resample, EightBitBitmapsKeepTheirColourTable) {
  HGLOBAL source = BitmapWithRows(2, 1, 8, {{10, 20}});
  {
    auto* table = reinterpret_cast<RGBQUAD*>(static_cast<uint8_t*>(GlobalLock(source)) + 40);
    for (int i = 0; i < 256; ++i) table[i] = {static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
    GlobalUnlock(source);
  }
  HGLOBAL result = ResamplePackedBitmap(source, 4, 1);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(RowOf(result, 0, 4), (std::vector<uint8_t>{10, 15, 20, 20}));
  auto* bits = static_cast<uint8_t*>(GlobalLock(result));
  EXPECT_EQ(PackedBitmapColourCount(bits), 256u);
  const auto* table = reinterpret_cast<const RGBQUAD*>(bits + 40);
  EXPECT_EQ(table[7].rgbBlue, 7);
  EXPECT_EQ(table[7].rgbRed, 248);
  GlobalUnlock(result);
  GlobalFree(result);
  GlobalFree(source);
}

TEST(Resample, TheSingleRuleTakesTheLastColumnAndRowUnblended) {
  // Indices, bottom row first: {0, 100} then {200, 50}; positions 0, .5, 1, 1.5 both ways.
  HGLOBAL source = BitmapWithRows(2, 2, 8, {{0, 100}, {200, 50}});
  HGLOBAL edge = ResamplePackedBitmap(source, 4, 4, ResampleRule::kDoubleEdgeStandsIn);
  HGLOBAL last = ResamplePackedBitmap(source, 4, 4, ResampleRule::kSingleLastUnblended);
  ASSERT_NE(edge, nullptr);
  ASSERT_NE(last, nullptr);
  // Inside, both blend alike; in the last column the double rule still
  // blends down the rows, the single one takes the base pixel.
  EXPECT_EQ(RowOf(edge, 1, 4), (std::vector<uint8_t>{100, 88, 75, 75}));
  EXPECT_EQ(RowOf(last, 1, 4), (std::vector<uint8_t>{100, 88, 100, 100}));
  EXPECT_EQ(RowOf(edge, 3, 4), (std::vector<uint8_t>{200, 125, 50, 50}));
  EXPECT_EQ(RowOf(last, 3, 4), (std::vector<uint8_t>{200, 200, 50, 50}));
  GlobalFree(edge);
  GlobalFree(last);
  GlobalFree(source);
}

TEST(Resample, RefusesWhatItCannotResample) {
  HGLOBAL sixteen = CreatePackedBitmap(4, 4, 16);
  EXPECT_EQ(ResamplePackedBitmap(sixteen, 2, 2), nullptr);
  GlobalFree(sixteen);
  HGLOBAL fine = CreatePackedBitmap(4, 4, 24);
  EXPECT_EQ(ResamplePackedBitmap(fine, 0, 2), nullptr);
  // A header that claims more pixels than the block holds.
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(fine));
  header->biHeight = 400;
  GlobalUnlock(fine);
  EXPECT_EQ(ResamplePackedBitmap(fine, 2, 2), nullptr);
  EXPECT_EQ(CropPackedBitmapTopLeft(fine, 2, 2), nullptr);
  GlobalFree(fine);
  EXPECT_EQ(ResamplePackedBitmap(nullptr, 2, 2), nullptr);
}

TEST(Crop, KeepsTheTopRowsAndLeftColumns) {
  // Three rows, bottom-up in memory: the picture's top row is the last.
  HGLOBAL source = BitmapWithRows(2, 3, 24, {{1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}, {5, 5, 5, 6, 6, 6}});
  HGLOBAL cut = CropPackedBitmapTopLeft(source, 1, 2);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(RowOf(cut, 0, 3), (std::vector<uint8_t>{3, 3, 3}));
  EXPECT_EQ(RowOf(cut, 1, 3), (std::vector<uint8_t>{5, 5, 5}));
  GlobalFree(cut);
  EXPECT_EQ(CropPackedBitmapTopLeft(source, 3, 2), nullptr);  // the source is too small
  EXPECT_EQ(CropPackedBitmapTopLeft(source, 2, 4), nullptr);
  GlobalFree(source);
}

}  // namespace
}  // namespace ksv::common
