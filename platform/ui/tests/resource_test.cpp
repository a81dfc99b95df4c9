// Resources compiled into the test program from resources/manifest.txt:
// found by the module's handle and id, refused for other modules; bitmaps
// from resources and files; a window shaped by a region resource.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/module/module.h"
#include "platform/resources/resources.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/ui_test_support.h"
#include "platform/ui/ui.h"
#include "testing/temp_files.h"

namespace {

using ksv::platform::ui::SaveSurfacePng;
using ksv::platform::ui::Surface;
using ksv::platform::ui::SurfaceOf;
using ksv::platform::ui::testing::RegisterTestClass;
namespace input = ksv::platform::ui::input;

std::span<const uint8_t> Bytes(HMODULE module, int id, const char* type) {
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
  return {bytes, SizeofResource(module, found)};
}

// A bitmap's pixels as 0xRRGGBB, row 0 at the top.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap) {
  BITMAP size{};
  GetObjectA(bitmap, sizeof size, &size);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.bmWidth, -size.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HDC from = CreateCompatibleDC(nullptr);
  const HDC to = CreateCompatibleDC(nullptr);
  SelectObject(from, bitmap);
  SelectObject(to, copy);
  BitBlt(to, 0, 0, size.bmWidth, size.bmHeight, from, 0, 0, SRCCOPY);
  std::vector<uint32_t> pixels;
  const size_t stride = (static_cast<size_t>(size.bmWidth) * 3 + 3) & ~size_t{3};
  for (int y = 0; y < size.bmHeight; ++y) {
    const auto* row = static_cast<const uint8_t*>(bits) + y * stride;
    for (int x = 0; x < size.bmWidth; ++x) pixels.push_back(row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x]);
  }
  DeleteDC(from);
  DeleteDC(to);
  DeleteObject(copy);
  return pixels;
}

TEST(Resources, AModuleFindsItsOwnByIdAndTypeAndAnotherModuleGetsNull) {
  const HMODULE self = GetModuleHandleA(nullptr);
  const std::span<const uint8_t> wave = Bytes(self, 141, "WAVE");
  ASSERT_EQ(wave.size(), 4044u) << "the whole file";
  EXPECT_EQ(std::memcmp(wave.data(), "RIFF", 4), 0);
  EXPECT_EQ(Bytes(nullptr, 141, "wave").data(), wave.data()) << "null is the program; type names ignore case";
  EXPECT_NE(FindResourceA(self, "#141", "WAVE"), nullptr);
  EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(141), RT_RCDATA), nullptr) << "another type";
  EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(142), "WAVE"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(LockResource(reinterpret_cast<HGLOBAL>(wave.size())), nullptr) << "not a loaded resource";

  // The bitmap resource is the file without its 14-byte header.
  const std::span<const uint8_t> face = Bytes(self, 130, RT_BITMAP);
  ASSERT_EQ(face.size(), 9270u - 14u);
  const HBITMAP bitmap = LoadBitmapA(self, MAKEINTRESOURCEA(130));
  ASSERT_NE(bitmap, nullptr);
  const std::vector<uint32_t> pixels = PixelsOf(bitmap);
  ASSERT_EQ(pixels.size(), 64u * 48u);
  EXPECT_EQ(pixels[0], 0x9696A0u) << "the grey body at the top left";
  EXPECT_EQ(pixels[24 * 64 + 32], 0x0052F8u) << "the blue lens in the middle";

  // The same picture from a bitmap file.
  ksv::testing::TempFolder folder;
  const std::filesystem::path file = folder.path() / "face.bmp";
  {
    std::ofstream out(file, std::ios::binary);
    const uint32_t fileSize = static_cast<uint32_t>(face.size() + 14);
    const uint8_t header[14] = {'B', 'M', static_cast<uint8_t>(fileSize), static_cast<uint8_t>(fileSize >> 8), 0, 0,
                                0, 0, 0, 0, 54, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(face.data()), static_cast<std::streamsize>(face.size()));
  }
  const auto fromFile =
      static_cast<HBITMAP>(LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(PixelsOf(fromFile), pixels);
  EXPECT_EQ(LoadImageA(nullptr, (folder.path() / "none.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(LoadImageA(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  DeleteObject(fromFile);
  DeleteObject(bitmap);

  // Cursors: the module's by id, the same handle each time.
  const HCURSOR hand = LoadCursorA(self, MAKEINTRESOURCEA(159));
  EXPECT_NE(hand, nullptr);
  EXPECT_EQ(LoadImageA(self, MAKEINTRESOURCEA(159), IMAGE_CURSOR, 0, 0, 0), hand);
  EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), nullptr);
  const std::optional<ksv::platform::ui::CursorPicture> picture = ksv::platform::ui::DescribeCursor(hand);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 32);
  EXPECT_EQ(picture->hotX, 11);
  EXPECT_EQ(picture->hotY, 4);
  EXPECT_EQ(picture->argb[0], 0u) << "the screen shows through around the hand";
  EXPECT_EQ(picture->argb[8 * 32 + 11], 0xFFFFFFFFu) << "inside the finger: white";
  EXPECT_EQ(picture->argb[8 * 32 + 10], 0xFF000000u) << "its edge: black";
  EXPECT_EQ(ksv::platform::ui::DescribeCursor(LoadCursorA(nullptr, IDC_WAIT))->systemId, 32514);

  // A dialog from its resource: 186 x 94 dialog units.
  const HWND panel = CreateDialogParamA(self, MAKEINTRESOURCEA(129), nullptr, nullptr, 0);
  ASSERT_NE(panel, nullptr);
  RECT rect{};
  GetWindowRect(panel, &rect);
  EXPECT_EQ(rect.right - rect.left, 186 * 6 / 4);
  EXPECT_EQ(rect.bottom - rect.top, (94 * 13 + 4) / 8) << "rounded";
  DestroyWindow(panel);

  // Another module has none of them.
  const HMODULE other = ksv::platform::RegisterModule("/nowhere/other.so");
  EXPECT_EQ(FindResourceA(other, MAKEINTRESOURCEA(141), "WAVE"), nullptr);
  EXPECT_EQ(LoadBitmapA(other, MAKEINTRESOURCEA(130)), nullptr);
  EXPECT_EQ(LoadCursorA(other, MAKEINTRESOURCEA(159)), nullptr);
  EXPECT_EQ(CreateDialogParamA(other, MAKEINTRESOURCEA(129), nullptr, nullptr, 0), nullptr);
}

// The shaped window: the face bitmap, a press on its body drags it.
LRESULT ShapedBody(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      const HBITMAP face = LoadBitmapA(nullptr, MAKEINTRESOURCEA(130));
      const HDC memory = CreateCompatibleDC(dc);
      SelectObject(memory, face);
      BitBlt(dc, 0, 0, 64, 48, memory, 0, 0, SRCCOPY);
      DeleteDC(memory);
      DeleteObject(face);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void Pump() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST(Resources, AWindowShapedByARegionResourceIsHitAndDrawnOnlyInsideAndDragsByItsBody) {
  const std::span<const uint8_t> outline = Bytes(nullptr, 143, RT_RCDATA);
  ASSERT_FALSE(outline.empty());
  const HRGN shape = ExtCreateRegion(nullptr, static_cast<DWORD>(outline.size()),
                                     reinterpret_cast<const RGNDATA*>(outline.data()));
  ASSERT_NE(shape, nullptr);
  const std::string className = RegisterTestClass(ShapedBody);
  const HWND window = CreateWindowExA(0, className.c_str(), "", WS_POPUP, 100, 50, 64, 48, nullptr, nullptr,
                                     nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(SetWindowRgn(window, shape, FALSE));
  ShowWindow(window, SW_SHOW);
  Pump();

  ksv::testing::TempFolder folder;
  ASSERT_TRUE(SaveSurfacePng(window, folder.path() / "shaped.png"));
  if (const char* keep = std::getenv("KSV_KEEP_SCREENSHOT")) SaveSurfacePng(window, keep);
  {
    const Surface::Pixels pixels = SurfaceOf(window)->Lock();
    const auto at = [&](int x, int y) {
      const uint8_t* p = pixels.row(y) + 3 * x;
      return static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
    };
    EXPECT_EQ(at(0, 0), 0u) << "outside the cut corner: black";
    EXPECT_EQ(at(11, 1), 0u);
    EXPECT_EQ(at(12, 1), 0x9696A0u) << "the body";
    EXPECT_EQ(at(0, 8), 0x9696A0u);
  }
  EXPECT_FALSE(input::ClickAt(window, 2, 2)) << "a click in the cut corner finds no window";
  EXPECT_FALSE(input::PressAt(window, 62, 46));

  // A drag from the body: the window follows the pointer.
  ASSERT_TRUE(input::DragAt(window, 32, 24, 52, 34));
  Pump();
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 120);
  EXPECT_EQ(rect.top, 60);
  EXPECT_EQ(GetCapture(), nullptr) << "the move ended with the release";
  DestroyWindow(window);
}

}  // namespace
