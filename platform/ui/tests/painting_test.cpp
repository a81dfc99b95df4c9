// Painting through windows: WM_PAINT for a window and its children,
// clipped to their parents, invalidation and repainting, erasing with the
// class's brush, shaped windows; the screenshot is what was drawn.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "platform/ui/input.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/ui_test_support.h"
#include "support/picture/png_file.h"
#include "testing/temp_files.h"

namespace {

using ksv::platform::ui::SaveSurfacePng;
using ksv::platform::ui::Surface;
using ksv::platform::ui::SurfaceOf;
using ksv::platform::ui::testing::RegisterTestClass;

// Each window paints its whole client area in its colour and counts it.
std::map<HWND, COLORREF> colours;
std::map<HWND, int> paints;

LRESULT Painter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(window, &paint);
  RECT client{};
  GetClientRect(window, &client);
  const HBRUSH brush = CreateSolidBrush(colours[window]);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  EndPaint(window, &paint);
  ++paints[window];
  return 0;
}

void Pump() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

COLORREF PixelAt(HWND window, int x, int y) {
  const Surface::Pixels pixels = SurfaceOf(window)->Lock();
  const uint8_t* p = pixels.row(y) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

struct Family {
  HWND parent;  // 40 x 30
  HWND child;   // red, at (5, 5), 20 x 10
  HWND inner;   // green, a child of the child at (15, 5), 10 x 10: half of it outside
  HWND corner;  // blue, at (30, 20), 20 x 20: partly outside the parent
};

Family MakeFamily(DWORD parentStyle = 0) {
  static const std::string name = RegisterTestClass(Painter);
  Family family{};
  family.parent = CreateWindowExA(0, name.c_str(), "Family", WS_POPUP | WS_VISIBLE | parentStyle, 0, 0, 40, 30,
                                  nullptr, nullptr, nullptr, nullptr);
  const auto child = [&](HWND parent, int x, int y, int w, int h, COLORREF colour) {
    HWND window = CreateWindowExA(0, name.c_str(), "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr,
                                  nullptr, nullptr);
    colours[window] = colour;
    return window;
  };
  colours[family.parent] = kGrey;
  family.child = child(family.parent, 5, 5, 20, 10, kRed);
  family.inner = child(family.child, 15, 5, 10, 10, kGreen);
  family.corner = child(family.parent, 30, 20, 20, 20, kBlue);
  return family;
}

// What the family looks like with `childColour` in the child.
COLORREF Expected(int x, int y, COLORREF childColour) {
  if (x >= 20 && x < 25 && y >= 10 && y < 15) return kGreen;  // the inner window, cut at the child's edges
  if (x >= 5 && x < 25 && y >= 5 && y < 15) return childColour;
  if (x >= 30 && y >= 20) return kBlue;
  return kGrey;
}

void ExpectFamily(HWND parent, COLORREF childColour) {
  int wrong = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) wrong += PixelAt(parent, x, y) != Expected(x, y, childColour);
  }
  EXPECT_EQ(wrong, 0);
}

TEST(Painting, ChildrenPaintInsideTheirParentsAndRepaintWhatIsInvalidated) {
  const Family family = MakeFamily();
  Pump();
  for (HWND window : {family.parent, family.child, family.inner, family.corner}) EXPECT_EQ(paints[window], 1);
  ExpectFamily(family.parent, kRed);

  // The screenshot is what the windows drew.
  ksv::testing::TempFolder folder;
  ASSERT_TRUE(SaveSurfacePng(family.parent, folder / "family.png"));
  if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) SaveSurfacePng(family.parent, keep);
  const auto picture = ksv::picture::DecodePng(ksv::testing::ReadFile(folder / "family.png"), "family.png");
  ASSERT_EQ(picture.width, 40u);
  ASSERT_EQ(picture.height, 30u);
  int wrong = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint8_t* p = &picture.pixels[(static_cast<size_t>(y) * 40 + x) * 3];
      wrong += RGB(p[0], p[1], p[2]) != Expected(x, y, kRed);
    }
  }
  EXPECT_EQ(wrong, 0);

  // Only the invalidated corner of the child is painted again.
  colours[family.child] = kYellow;
  const RECT corner{0, 0, 5, 5};
  ASSERT_TRUE(InvalidateRect(family.child, &corner, TRUE));
  Pump();
  EXPECT_EQ(paints[family.child], 2);
  EXPECT_EQ(paints[family.inner], 1);
  EXPECT_EQ(paints[family.parent], 1);
  EXPECT_EQ(PixelAt(family.parent, 5, 5), kYellow);
  EXPECT_EQ(PixelAt(family.parent, 9, 9), kYellow);
  EXPECT_EQ(PixelAt(family.parent, 10, 9), kRed);

  // The parent at once; its children, which it does not clip, after it
  // from the queue, so they end on top.
  ASSERT_TRUE(InvalidateRect(family.parent, nullptr, FALSE));
  ASSERT_TRUE(UpdateWindow(family.parent));
  EXPECT_EQ(paints[family.parent], 2);
  EXPECT_EQ(PixelAt(family.parent, 6, 6), kGrey);
  Pump();
  EXPECT_EQ(paints[family.parent], 2);
  EXPECT_EQ(paints[family.inner], 2);
  ExpectFamily(family.parent, kYellow);

  // Hidden, a child leaves its area to its parent.
  ShowWindow(family.corner, SW_HIDE);
  Pump();
  EXPECT_EQ(PixelAt(family.parent, 35, 25), kGrey);
  DestroyWindow(family.parent);
}

TEST(Painting, AParentThatClipsItsChildrenPaintsAroundThem) {
  const Family family = MakeFamily(WS_CLIPCHILDREN);
  Pump();
  colours[family.parent] = kBlue;
  InvalidateRect(family.parent, nullptr, FALSE);
  UpdateWindow(family.parent);
  EXPECT_EQ(paints[family.child], 1);  // not invalidated
  EXPECT_EQ(PixelAt(family.parent, 0, 0), kBlue);
  EXPECT_EQ(PixelAt(family.parent, 6, 6), kRed);
  EXPECT_EQ(PixelAt(family.parent, 21, 11), kGreen);
  DestroyWindow(family.parent);
}

TEST(Painting, ErasesWithTheClassBrushAndTakesTheShapeOfItsRegion) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hbrBackground = CreateSolidBrush(kYellow);
  windowClass.lpszClassName = "PaintingTestErased";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  const HWND window = CreateWindowExA(WS_EX_TOPMOST, "PaintingTestErased", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
  ReleaseDC(window, GetDC(window));  // it has drawn: it has a surface
  ShowWindow(window, SW_SHOW);
  Pump();
  EXPECT_EQ(PixelAt(window, 9, 9), kYellow);

  // The left half only: drawn and hit there, black elsewhere.
  ASSERT_TRUE(SetWindowRgn(window, CreateRectRgn(0, 0, 5, 10), TRUE));
  Pump();
  EXPECT_EQ(PixelAt(window, 4, 9), kYellow);
  EXPECT_EQ(PixelAt(window, 5, 0), RGB(0, 0, 0));
  EXPECT_EQ(ksv::platform::ui::input::WindowAt(window, 2, 2), window);
  EXPECT_EQ(ksv::platform::ui::input::WindowAt(window, 7, 2), nullptr);
  const HDC dc = GetDC(window);
  const RECT all{0, 0, 10, 10};
  FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
  ReleaseDC(window, dc);
  EXPECT_EQ(PixelAt(window, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(PixelAt(window, 9, 0), RGB(0, 0, 0));
  DestroyWindow(window);
}

}  // namespace
