// Regions from rectangles and from region data, their combinations, and a
// region's shape drawn through a DC's clipping.
#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/tests/canvas.h"

namespace ksv::platform::gdi {
namespace {

void PutDword(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Region data as a resource holds it: the 32-byte header, then rectangles.
std::vector<uint8_t> RegionData(const std::vector<RECT>& rects, uint32_t count, uint32_t type = RDH_RECTANGLES,
                                uint32_t headerSize = 32) {
  std::vector<uint8_t> bytes;
  PutDword(bytes, headerSize);
  PutDword(bytes, type);
  PutDword(bytes, count);
  PutDword(bytes, static_cast<uint32_t>(rects.size() * 16));
  for (int i = 0; i < 4; ++i) PutDword(bytes, 0);  // the bounds are not trusted
  for (const RECT& rect : rects) {
    PutDword(bytes, static_cast<uint32_t>(rect.left));
    PutDword(bytes, static_cast<uint32_t>(rect.top));
    PutDword(bytes, static_cast<uint32_t>(rect.right));
    PutDword(bytes, static_cast<uint32_t>(rect.bottom));
  }
  return bytes;
}

HRGN FromData(const std::vector<uint8_t>& bytes, size_t size) {
  return ExtCreateRegion(nullptr, static_cast<DWORD>(size), reinterpret_cast<const RGNDATA*>(bytes.data()));
}

// An L: the top two rows whole, then the left half.
const std::vector<RECT> kL = {{0, 0, 4, 2}, {0, 2, 2, 4}};

TEST(Regions, ComeFromRegionDataAndRefuseWhatDoesNotHold) {
  const std::vector<uint8_t> data = RegionData(kL, 2);
  const HRGN shape = FromData(data, data.size());
  ASSERT_NE(shape, nullptr);
  EXPECT_TRUE(PtInRegion(shape, 3, 1));
  EXPECT_TRUE(PtInRegion(shape, 1, 3));
  EXPECT_FALSE(PtInRegion(shape, 3, 3));
  EXPECT_FALSE(PtInRegion(shape, 4, 0));  // right edges are outside
  RECT box{};
  EXPECT_EQ(GetRgnBox(shape, &box), COMPLEXREGION);
  EXPECT_EQ(box.right, 4);
  EXPECT_EQ(box.bottom, 4);
  DeleteObject(shape);

  // Rectangles out of order and overlapping make their union.
  const std::vector<uint8_t> loose = RegionData({{2, 2, 6, 6}, {0, 0, 4, 4}, {9, 9, 8, 8}}, 3);
  const HRGN united = FromData(loose, loose.size());
  EXPECT_TRUE(PtInRegion(united, 5, 5));
  EXPECT_TRUE(PtInRegion(united, 1, 1));
  EXPECT_FALSE(PtInRegion(united, 5, 1));
  EXPECT_FALSE(PtInRegion(united, 8, 8));
  DeleteObject(united);

  EXPECT_EQ(FromData(data, data.size() - 1), nullptr);           // the last rectangle cut short
  EXPECT_EQ(FromData(RegionData(kL, 3), data.size()), nullptr);  // more rectangles than bytes
  EXPECT_EQ(FromData(RegionData(kL, 0xFFFFFFFFu), data.size()), nullptr);
  EXPECT_EQ(FromData(RegionData(kL, 2, /*type=*/2), data.size()), nullptr);
  EXPECT_EQ(FromData(RegionData(kL, 2, RDH_RECTANGLES, /*headerSize=*/16), data.size()), nullptr);
  EXPECT_EQ(FromData(RegionData(kL, 2, RDH_RECTANGLES, /*headerSize=*/4096), data.size()), nullptr);
  EXPECT_EQ(FromData(data, 31), nullptr);
}

TEST(Regions, CombineAsTheirModesSay) {
  const std::vector<uint8_t> data = RegionData(kL, 2);
  const HRGN shape = FromData(data, data.size());
  const HRGN square = CreateRectRgn(1, 1, 3, 3);
  const HRGN result = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(result, shape, square, RGN_AND), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(result, 1, 1));
  EXPECT_FALSE(PtInRegion(result, 2, 2));
  CombineRgn(result, shape, square, RGN_DIFF);
  EXPECT_FALSE(PtInRegion(result, 1, 1));
  EXPECT_TRUE(PtInRegion(result, 3, 0));
  CombineRgn(result, shape, square, RGN_XOR);
  EXPECT_FALSE(PtInRegion(result, 1, 1));
  EXPECT_TRUE(PtInRegion(result, 2, 2));
  EXPECT_TRUE(PtInRegion(result, 0, 3));
  CombineRgn(result, shape, square, RGN_OR);
  EXPECT_TRUE(PtInRegion(result, 2, 2));
  EXPECT_FALSE(PtInRegion(result, 3, 3));
  EXPECT_EQ(CombineRgn(result, square, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_EQ(CombineRgn(result, shape, nullptr, RGN_AND), RGN_ERROR);
  for (HRGN region : {shape, square, result}) DeleteObject(region);
}

TEST(Regions, ClipDrawingToTheirShape) {
  const std::vector<uint8_t> data = RegionData(kL, 2);
  const HRGN shape = FromData(data, data.size());
  testing::Canvas canvas(5, 5, RGB(255, 255, 255));
  EXPECT_EQ(reinterpret_cast<intptr_t>(SelectObject(canvas.dc(), shape)), COMPLEXREGION);
  DeleteObject(shape);  // the DC keeps its own copy
  const RECT all{0, 0, 5, 5};
  FillRect(canvas.dc(), &all, GetSysColorBrush(COLOR_WINDOWTEXT));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool inside = (y < 2 && x < 4) || (y < 4 && x < 2);
      EXPECT_EQ(canvas.Get(x, y), inside ? RGB(0, 0, 0) : RGB(255, 255, 255)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace ksv::platform::gdi
