// Blits, stretches, fills, edges and lines into memory DCs, checked pixel
// by pixel against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/resources.h"
#include "platform/gdi/tests/canvas.h"

namespace ksv::platform::gdi {
namespace {

using testing::Canvas;

// The platform's truth table of a raster operation is its third byte: bit
// (P << 2 | S << 1 | D) is the result for pattern, source and destination
// bits. None of these uses the pattern.
uint8_t ByTruthTable(DWORD rop, uint8_t source, uint8_t destination) {
  const unsigned table = (rop >> 16) & 0xFF;
  uint8_t result = 0;
  for (int bit = 0; bit < 8; ++bit) {
    const unsigned index = ((source >> bit) & 1u) << 1 | ((destination >> bit) & 1u);
    result = static_cast<uint8_t>(result | ((table >> index) & 1u) << bit);
  }
  return result;
}

COLORREF ByTruthTable(DWORD rop, COLORREF source, COLORREF destination) {
  return RGB(ByTruthTable(rop, GetRValue(source), GetRValue(destination)),
             ByTruthTable(rop, GetGValue(source), GetGValue(destination)),
             ByTruthTable(rop, GetBValue(source), GetBValue(destination)));
}

constexpr DWORD kRops[] = {SRCCOPY, SRCAND, SRCPAINT, SRCINVERT};
// Each byte pairs the bits so that all four source/destination pairs occur.
constexpr COLORREF kSource = RGB(0x33, 0x0F, 0xA5);
constexpr COLORREF kDestination = RGB(0x55, 0xF0, 0x3C);

TEST(RasterOperations, FollowTheirTruthTablesOnColour) {
  for (DWORD rop : kRops) {
    Canvas source(6, 4, kSource, /*topDown=*/true);
    Canvas target(6, 4, kDestination);
    ASSERT_TRUE(BitBlt(target.dc(), 1, 1, 4, 2, source.dc(), 0, 0, rop));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool inside = x >= 1 && x < 5 && y >= 1 && y < 3;
        EXPECT_EQ(target.Get(x, y), inside ? ByTruthTable(rop, kSource, kDestination) : kDestination)
            << std::hex << rop << " at " << x << "," << y;
      }
    }
  }
}

TEST(RasterOperations, ExpandAOneBitSourceThroughTextAndBackgroundColours) {
  // Rows of a 1-bit bitmap are padded to 2 bytes.
  const uint8_t bits[] = {0b10110010, 0, 0b01001101, 0};
  const HBITMAP mask = CreateBitmap(8, 2, 1, 1, bits);
  const HDC maskDc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(maskDc, mask);
  const COLORREF text = RGB(0x12, 0x34, 0x56);
  const COLORREF back = RGB(0xF0, 0x0F, 0xAA);
  for (DWORD rop : kRops) {
    Canvas target(8, 2, kDestination);
    SetTextColor(target.dc(), text);
    SetBkColor(target.dc(), back);
    ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 8, 2, maskDc, 0, 0, rop));
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool one = (bits[2 * y] >> (7 - x)) & 1;
        EXPECT_EQ(target.Get(x, y), ByTruthTable(rop, one ? back : text, kDestination))
            << std::hex << rop << " at " << x << "," << y;
      }
    }
  }
  SelectObject(maskDc, old);
  DeleteDC(maskDc);
  DeleteObject(mask);
}

TEST(RasterOperations, DrawAnImageThroughItsMask) {
  // Image XOR, mask AND, image XOR with white background and black text:
  // the image where the mask is 0, the background where it is 1.
  Canvas background(4, 1, RGB(10, 20, 30));
  background.Set(1, 0, RGB(200, 100, 50));
  Canvas image(4, 1, RGB(1, 2, 3));
  image.Set(3, 0, RGB(250, 251, 252));
  const uint8_t maskBits[] = {0b10100000, 0};
  const HBITMAP mask = CreateBitmap(4, 1, 1, 1, maskBits);
  const HDC maskDc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(maskDc, mask);
  SetBkColor(background.dc(), RGB(255, 255, 255));
  SetTextColor(background.dc(), RGB(0, 0, 0));
  BitBlt(background.dc(), 0, 0, 4, 1, image.dc(), 0, 0, SRCINVERT);
  BitBlt(background.dc(), 0, 0, 4, 1, maskDc, 0, 0, SRCAND);
  BitBlt(background.dc(), 0, 0, 4, 1, image.dc(), 0, 0, SRCINVERT);
  EXPECT_EQ(background.Get(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(background.Get(1, 0), RGB(1, 2, 3));
  EXPECT_EQ(background.Get(2, 0), RGB(10, 20, 30));
  EXPECT_EQ(background.Get(3, 0), RGB(250, 251, 252));
  SelectObject(maskDc, old);
  DeleteDC(maskDc);
  DeleteObject(mask);
}

TEST(Blits, KeepEachLayoutAndStayInsideTheSource) {
  Canvas source(4, 4, RGB(0, 0, 0), /*topDown=*/true);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) source.Set(x, y, RGB(x * 10, y * 10, 7));
  }
  Canvas target(5, 5, RGB(9, 9, 9));  // bottom-up
  // The part of the rectangle past the source's edge is left alone.
  ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 5, 5, source.dc(), 2, 1, SRCCOPY));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(target.Get(x, y), x < 2 && y < 3 ? RGB((x + 2) * 10, (y + 1) * 10, 7) : RGB(9, 9, 9));
    }
  }
  // Bottom-up: the picture's top row is the last in memory.
  const uint8_t* lastRow = target.At(0, 0);
  EXPECT_EQ(lastRow, target.At(0, 4) + 4 * target.stride());
  EXPECT_EQ(lastRow[2], 20);
  EXPECT_EQ(lastRow[1], 10);
}

TEST(Blits, StretchColourOnColourByWholePixels) {
  Canvas source(2, 2, RGB(0, 0, 0));
  source.Set(0, 0, RGB(255, 0, 0));
  source.Set(1, 0, RGB(0, 255, 0));
  source.Set(0, 1, RGB(0, 0, 255));
  source.Set(1, 1, RGB(255, 255, 255));
  Canvas big(4, 4, RGB(1, 1, 1));
  SetStretchBltMode(big.dc(), COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(big.dc(), 0, 0, 4, 4, source.dc(), 0, 0, 2, 2, SRCCOPY));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.Get(x, y), source.Get(x / 2, y / 2)) << x << "," << y;
  }
  // Shrinking keeps the pixel under each centre: (2x + 1, 2y + 1). An
  // uneven 3-to-7 stretch keeps floor((x + 0.5) * 3 / 7).
  Canvas wide(7, 3, RGB(0, 0, 0));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x) wide.Set(x, y, RGB(x * 30, y * 60, 0));
  }
  Canvas small(3, 1, RGB(1, 1, 1));
  ASSERT_TRUE(StretchBlt(small.dc(), 0, 0, 3, 1, wide.dc(), 0, 0, 7, 3, SRCCOPY));
  for (int x = 0; x < 3; ++x) {
    const int from = static_cast<int>(std::floor((x + 0.5) * 7 / 3));
    EXPECT_EQ(small.Get(x, 0), RGB(from * 30, 60, 0)) << x;
  }
  Canvas seven(7, 1, RGB(1, 1, 1));
  ASSERT_TRUE(StretchBlt(seven.dc(), 0, 0, 7, 1, small.dc(), 0, 0, 3, 1, SRCCOPY));
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(seven.Get(x, 0), small.Get(static_cast<int>(std::floor((x + 0.5) * 3 / 7)), 0)) << x;
  }
  // A raster operation other than a copy applies after the stretch.
  ASSERT_TRUE(StretchBlt(big.dc(), 0, 0, 4, 4, source.dc(), 0, 0, 2, 2, SRCINVERT));
  EXPECT_EQ(big.Get(3, 3), RGB(0, 0, 0));
}

// A packed DIB in memory: header, colour table, rows.
struct PackedDib {
  std::vector<uint8_t> bytes;
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(bytes.data()); }
  const uint8_t* bits() const { return bytes.data() + 40 + 4 * colours; }
  int colours = 0;
};

PackedDib PaletteDib() {
  // 2 x 2, 8 bits, bottom-up: the stored first row is the picture's bottom.
  PackedDib dib;
  dib.colours = 4;
  BITMAPINFOHEADER header{40, 2, 2, 1, 8, BI_RGB, 0, 0, 0, 4, 0};
  dib.bytes.resize(40 + 16 + 8);
  std::memcpy(dib.bytes.data(), &header, 40);
  const uint8_t table[16] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};  // red green blue white
  std::memcpy(dib.bytes.data() + 40, table, 16);
  const uint8_t rows[8] = {2, 3, 0, 0, 0, 1, 0, 0};
  std::memcpy(dib.bytes.data() + 56, rows, 8);
  return dib;
}

TEST(Blits, DrawDibsFromMemory) {
  const PackedDib dib = PaletteDib();
  Canvas target(4, 4, RGB(7, 7, 7));
  EXPECT_EQ(StretchDIBits(target.dc(), 0, 0, 4, 4, 0, 0, 2, 2, dib.bits(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(target.Get(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(target.Get(3, 1), RGB(0, 255, 0));
  EXPECT_EQ(target.Get(1, 2), RGB(0, 0, 255));
  EXPECT_EQ(target.Get(3, 3), RGB(255, 255, 255));
  // One band: only the picture's bottom row is at hand.
  Canvas band(2, 2, RGB(7, 7, 7));
  EXPECT_EQ(SetDIBitsToDevice(band.dc(), 0, 0, 2, 2, 0, 0, 0, 1, dib.bits(), dib.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(band.Get(0, 0), RGB(7, 7, 7));
  EXPECT_EQ(band.Get(0, 1), RGB(0, 0, 255));
  EXPECT_EQ(band.Get(1, 1), RGB(255, 255, 255));
  // A header this layer does not draw is refused.
  PackedDib compressed = dib;
  compressed.bytes[16] = 1;  // biCompression: run-length
  EXPECT_EQ(StretchDIBits(target.dc(), 0, 0, 4, 4, 0, 0, 2, 2, compressed.bits(), compressed.info(), DIB_RGB_COLORS,
                          SRCCOPY),
            0);
}

TEST(Shapes, FillFrameEdgeAndLine) {
  Canvas canvas(8, 8, RGB(50, 50, 50));
  const RECT all{0, 0, 8, 8};
  // A system colour index plus one is a brush, as a class background is.
  EXPECT_TRUE(FillRect(canvas.dc(), &all, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)));
  EXPECT_EQ(canvas.Get(7, 7), RGB(192, 192, 192));
  const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const RECT frame{1, 1, 5, 4};
  EXPECT_TRUE(FrameRect(canvas.dc(), &frame, red));
  EXPECT_EQ(canvas.Get(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(canvas.Get(4, 3), RGB(255, 0, 0));
  EXPECT_EQ(canvas.Get(2, 2), RGB(192, 192, 192));
  EXPECT_EQ(canvas.Get(5, 3), RGB(192, 192, 192));
  DeleteObject(red);

  RECT edge{0, 0, 8, 8};
  EXPECT_TRUE(DrawEdge(canvas.dc(), &edge, BDR_RAISEDINNER, BF_RECT));
  EXPECT_EQ(canvas.Get(0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(canvas.Get(0, 6), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(canvas.Get(7, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(canvas.Get(3, 7), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_TRUE(DrawEdge(canvas.dc(), &edge, BDR_SUNKENOUTER, BF_RECT));
  EXPECT_EQ(canvas.Get(0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(canvas.Get(7, 7), GetSysColor(COLOR_BTNHIGHLIGHT));

  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  const HGDIOBJ old = SelectObject(canvas.dc(), pen);
  MoveToEx(canvas.dc(), 1, 5, nullptr);
  EXPECT_TRUE(LineTo(canvas.dc(), 4, 5));
  EXPECT_TRUE(LineTo(canvas.dc(), 7, 2));  // a diagonal on from there
  for (int x = 1; x < 4; ++x) EXPECT_EQ(canvas.Get(x, 5), RGB(0, 0, 255));
  EXPECT_EQ(canvas.Get(5, 4), RGB(0, 0, 255));
  EXPECT_EQ(canvas.Get(6, 3), RGB(0, 0, 255));
  EXPECT_NE(canvas.Get(7, 2), RGB(0, 0, 255));  // the end point is not drawn
  SelectObject(canvas.dc(), old);
  EXPECT_TRUE(DeleteObject(pen));
  // Stock brushes outlive DeleteObject.
  DeleteObject(GetSysColorBrush(COLOR_WINDOW));
  EXPECT_TRUE(FillRect(canvas.dc(), &all, GetSysColorBrush(COLOR_WINDOW)));
  EXPECT_EQ(canvas.Get(4, 4), RGB(255, 255, 255));
}

std::span<const uint8_t> FindTestBitmap(HINSTANCE module, const char* name, const char* type) {
  static const PackedDib dib = PaletteDib();
  if (module != reinterpret_cast<HINSTANCE>(0x1000) || name != MAKEINTRESOURCEA(130) || type != RT_BITMAP) return {};
  return dib.bytes;
}

TEST(Bitmaps, DescribeThemselvesAndLoadFromResources) {
  Canvas canvas(5, 3, RGB(0, 0, 0));
  BITMAP info{};
  EXPECT_EQ(GetObjectA(canvas.bitmap(), sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 5);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(info.bmWidthBytes, 16);
  EXPECT_EQ(info.bmBitsPixel, 24);
  EXPECT_EQ(static_cast<uint8_t*>(info.bmBits), canvas.At(0, 2));

  // One bitmap goes into one DC at a time.
  const HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, canvas.bitmap()), nullptr);
  const HBITMAP compatible = CreateCompatibleBitmap(canvas.dc(), 3, 2);
  GetObjectA(compatible, sizeof info, &info);
  EXPECT_EQ(info.bmBitsPixel, 24);
  EXPECT_EQ(info.bmBits, nullptr);
  DeleteObject(compatible);

  SetResourceFinder(&FindTestBitmap);
  const HINSTANCE module = reinterpret_cast<HINSTANCE>(0x1000);
  EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCEA(131)), nullptr);
  const HBITMAP loaded = LoadBitmapA(module, MAKEINTRESOURCEA(130));
  ASSERT_NE(loaded, nullptr);
  const HGDIOBJ old = SelectObject(other, loaded);
  Canvas copy(2, 2, RGB(0, 0, 0));
  BitBlt(copy.dc(), 0, 0, 2, 2, other, 0, 0, SRCCOPY);
  EXPECT_EQ(copy.Get(1, 0), RGB(0, 255, 0));
  EXPECT_EQ(copy.Get(0, 1), RGB(0, 0, 255));
  SelectObject(other, old);
  DeleteObject(loaded);
  DeleteDC(other);
  SetResourceFinder(nullptr);
}

}  // namespace
}  // namespace ksv::platform::gdi
