// The caption font and its painter on small pictures in memory.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "outside/caption/bitmap_font.h"

namespace ksv::media::caption {
namespace {

constexpr uint32_t kWhite = 0x00FFFFFF, kRed = 0x000000FF;

struct Canvas {
  Picture picture;
  std::vector<uint8_t> bytes;  // exactly the picture: ASan sees a stray write
  Canvas(int width, int height, int bitCount, bool topDown) {
    picture.width = width;
    picture.height = height;
    picture.bitCount = bitCount;
    picture.topDown = topDown;
    picture.stride = (size_t(width) * bitCount + 31) / 32 * 4;
    bytes.assign(picture.stride * height, 0x55);
    picture.bits = bytes.data();
  }
  // The pixel (x, y) from the top-left as 0x00BBGGRR.
  uint32_t At(int x, int y) const {
    const int row = picture.topDown ? y : picture.height - 1 - y;
    const uint8_t* p = bytes.data() + size_t(row) * picture.stride + size_t(x) * (picture.bitCount / 8);
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
};

constexpr uint32_t kUntouched = 0x555555;

bool Lit(char c, int column, int row) { return (GlyphRows(c)[row] >> (4 - column) & 1) != 0; }

TEST(BitmapFont, EveryPrintableCharacterHasItsOwnLetterAndOthersShowAsQuestionMarks) {
  std::set<std::array<uint8_t, 7>> letters;
  for (char c = ' '; c <= '~'; ++c) {
    std::array<uint8_t, 7> rows{};
    std::memcpy(rows.data(), GlyphRows(c), rows.size());
    EXPECT_TRUE(letters.insert(rows).second) << "'" << c << "' looks like another letter";
    for (const uint8_t row : rows) EXPECT_LT(row, 32) << c;
  }
  EXPECT_EQ(GlyphRows('\x01'), GlyphRows('?'));
  EXPECT_EQ(GlyphRows('\xE9'), GlyphRows('?'));
  EXPECT_TRUE(Lit('L', 0, 6) && Lit('L', 4, 6) && !Lit('L', 4, 0));
}

TEST(BitmapFont, TextFillsItsRectangleOnly) {
  EXPECT_EQ(MeasureText("Hi\nABC", 2).width, 3 * 6 * 2);
  EXPECT_EQ(MeasureText("Hi\nABC", 2).height, 2 * 8 * 2);
  EXPECT_EQ(MeasureText("", 3).width, 0);
  for (const int bitCount : {24, 32}) {
    for (const bool topDown : {false, true}) {
      SCOPED_TRACE(::testing::Message() << bitCount << (topDown ? " top-down" : " bottom-up"));
      Canvas canvas(40, 30, bitCount, topDown);
      PaintText(canvas.picture, 3, 2, "Hi\nL", TextStyle{2, kWhite, kRed, true});
      // "Hi" over two cells, "L" below: 24 x 32 pixels from (3, 2).
      for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
          const bool inside = x >= 3 && x < 27 && y >= 2 && y < 34;
          if (!inside) {
            ASSERT_EQ(canvas.At(x, y), kUntouched) << x << "," << y;
            continue;
          }
          // Each letter pixel is 2 x 2; rows 7 and column 5 of a cell stay dark.
          const int cellX = (x - 3) / 12, cellY = (y - 2) / 16;
          const int column = (x - 3) % 12 / 2, row = (y - 2) % 16 / 2;
          const char c = cellY == 0 ? "Hi"[cellX] : (cellX == 0 ? 'L' : ' ');
          const bool lit = column < 5 && row < 7 && Lit(c, column, row);
          ASSERT_EQ(canvas.At(x, y), lit ? kWhite : kRed) << x << "," << y;
        }
      }
    }
  }
}

TEST(BitmapFont, TransparentTextTouchesOnlyItsLettersAndIsClippedAtTheEdges) {
  Canvas canvas(10, 6, 24, false);
  // Mostly outside: only the top-left of the first letter shows.
  PaintText(canvas.picture, 7, 3, "MM\nMM", TextStyle{1, kWhite, 0, false});
  int lit = 0;
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool letter = x >= 7 && y >= 3 && Lit('M', x - 7, y - 3);
      EXPECT_EQ(canvas.At(x, y), letter ? kWhite : kUntouched) << x << "," << y;
      lit += letter;
    }
  }
  EXPECT_GT(lit, 0);
  // Far outside, or at a huge offset, nothing is touched.
  PaintText(canvas.picture, 1 << 30, 1 << 30, "far away", TextStyle{32, kRed, kRed, true});
  PaintText(canvas.picture, -500, -500, "behind", TextStyle{4, kRed, kRed, true});
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(canvas.At(x, y), kUntouched);
  }
}

}  // namespace
}  // namespace ksv::media::caption
