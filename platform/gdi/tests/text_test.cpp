// Text: the same string drawn by DrawTextA and by FreeType directly.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/tests/canvas.h"

namespace ksv::platform::gdi {
namespace {

// The string in DejaVu Sans at `em` pixels, monochrome and hinted, each
// glyph at its advance: the cell's size and its set pixels.
struct Rendered {
  int width = 0;
  int ascent = 0;
  int descent = 0;
  std::vector<std::pair<int, int>> dots;  // cell coordinates
};

Rendered RenderDirectly(const char* text, int em) {
  Rendered rendered;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  EXPECT_EQ(FT_Init_FreeType(&library), 0);
  EXPECT_EQ(FT_New_Face(library, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0, &face), 0);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
  rendered.ascent = static_cast<int>((face->size->metrics.ascender + 63) / 64);
  rendered.descent = static_cast<int>((-face->size->metrics.descender + 63) / 64);
  int pen = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    FT_Load_Char(face, static_cast<FT_ULong>(*c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO);
    const FT_GlyphSlot glyph = face->glyph;
    EXPECT_EQ(glyph->bitmap.pixel_mode, FT_PIXEL_MODE_MONO);
    for (unsigned row = 0; row < glyph->bitmap.rows; ++row) {
      for (unsigned column = 0; column < glyph->bitmap.width; ++column) {
        const uint8_t byte = glyph->bitmap.buffer[row * static_cast<unsigned>(glyph->bitmap.pitch) + column / 8];
        if ((byte >> (7 - column % 8)) & 1) {
          rendered.dots.emplace_back(pen + glyph->bitmap_left + static_cast<int>(column),
                                     rendered.ascent - glyph->bitmap_top + static_cast<int>(row));
        }
      }
    }
    pen += static_cast<int>(glyph->advance.x / 64);
  }
  rendered.width = pen;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return rendered;
}

HFONT IconTitleFont() {
  LOGFONTA font{};
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0));
  EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
  EXPECT_EQ(font.lfHeight, -11);
  return CreateFontIndirectA(&font);
}

TEST(Text, CentredInARectangleIsFreeTypesRenderingAtTheCentredOrigin) {
  const Rendered expected = RenderDirectly("SnapShot", 11);
  ASSERT_GT(expected.dots.size(), 40u);
  testing::Canvas canvas(100, 30, RGB(255, 255, 255));
  const HGDIOBJ old = SelectObject(canvas.dc(), IconTitleFont());
  SetBkMode(canvas.dc(), TRANSPARENT);
  SetTextColor(canvas.dc(), RGB(0, 0, 0));

  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(canvas.dc(), "SnapShot", 8, &size));
  EXPECT_EQ(size.cx, expected.width);
  EXPECT_EQ(size.cy, expected.ascent + expected.descent);
  RECT measured{10, 5, 10, 5};
  DrawTextA(canvas.dc(), "SnapShot", -1, &measured, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(measured.right, 10 + expected.width);
  EXPECT_EQ(measured.bottom, 5 + size.cy);

  RECT box{10, 5, 90, 25};
  DrawTextA(canvas.dc(), "SnapShot", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const int left = 10 + (80 - expected.width) / 2;
  const int top = 5 + (20 - size.cy) / 2;
  std::vector<bool> set(100 * 30, false);
  for (const auto& [x, y] : expected.dots) set[static_cast<size_t>((top + y) * 100 + left + x)] = true;
  int mismatches = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      const COLORREF want = set[static_cast<size_t>(y * 100 + x)] ? RGB(0, 0, 0) : RGB(255, 255, 255);
      mismatches += canvas.Get(x, y) != want;
    }
  }
  EXPECT_EQ(mismatches, 0);
  DeleteObject(SelectObject(canvas.dc(), old));
}

TEST(Text, OpaqueBackgroundFillsTheCellAndPrefixesAreTakenOut) {
  testing::Canvas canvas(80, 20, RGB(255, 255, 255));
  const HGDIOBJ old = SelectObject(canvas.dc(), IconTitleFont());
  SetBkColor(canvas.dc(), RGB(255, 0, 0));
  SIZE size{};
  GetTextExtentPoint32A(canvas.dc(), "Exit", 4, &size);
  ASSERT_TRUE(TextOutA(canvas.dc(), 2, 2, "Exit", 4));
  EXPECT_EQ(canvas.Get(2, 2 + size.cy - 1), RGB(255, 0, 0));  // below the baseline of "E"
  EXPECT_EQ(canvas.Get(2 + size.cx, 2), RGB(255, 255, 255));
  EXPECT_EQ(canvas.Get(2, 1), RGB(255, 255, 255));
  // "&Exit" draws as "Exit"; "&&" as "&".
  RECT plain{0, 0, 0, 0};
  RECT marked{0, 0, 0, 0};
  RECT doubled{0, 0, 0, 0};
  DrawTextA(canvas.dc(), "Exit", -1, &plain, DT_CALCRECT | DT_SINGLELINE);
  DrawTextA(canvas.dc(), "&Exit", -1, &marked, DT_CALCRECT | DT_SINGLELINE);
  DrawTextA(canvas.dc(), "&&Exit", -1, &doubled, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(marked.right, plain.right);
  EXPECT_GT(doubled.right, plain.right);
  // Two lines are twice as high as one.
  RECT lines{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(canvas.dc(), "Exit\nExit", -1, &lines, DT_CALCRECT), 2 * size.cy);
  DeleteObject(SelectObject(canvas.dc(), old));
}

}  // namespace
}  // namespace ksv::platform::gdi
