#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/sync/sync.h"
#include "platform/ui/surface.h"
#include "platform/ui/tests/ui_test_support.h"
#include "platform/ui/ui.h"
#include "support/picture/png_file.h"
#include "testing/temp_files.h"

namespace {

using ksv::platform::ui::CreateSurface;
using ksv::platform::ui::SaveSurfacePng;
using ksv::platform::ui::Surface;
using ksv::platform::ui::SurfaceOf;
using ksv::platform::ui::testing::CreateTestWindow;
using ksv::platform::ui::testing::RegisterTestClass;

std::vector<std::string> shapeLog;
LRESULT ShapeLog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    shapeLog.push_back("size " + std::to_string(lParam & 0xFFFF) + "x" + std::to_string(lParam >> 16));
  }
  if (message == WM_MOVE) {
    shapeLog.push_back("move " + std::to_string(lParam & 0xFFFF) + "," + std::to_string(lParam >> 16));
  }
  if (message == WM_SHOWWINDOW) shapeLog.push_back(wParam != 0 ? "show" : "hide");
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(int width, int height, WNDPROC procedure = DefWindowProcA) {
  static const std::string plain = RegisterTestClass(DefWindowProcA);
  static const std::string logged = RegisterTestClass(ShapeLog);
  return CreateWindowExA(0, (procedure == ShapeLog ? logged : plain).c_str(), "Picture",
                         WS_OVERLAPPEDWINDOW, 10, 20, width, height, nullptr, nullptr, nullptr,
                         nullptr);
}

// Paints pixel (x, y) as B = x, G = y, R = x + y, so every position is told apart.
void PaintPositions(Surface& surface) {
  Surface::Pixels pixels = surface.Lock();
  for (int y = 0; y < pixels.height(); ++y) {
    uint8_t* row = pixels.row(y);
    for (int x = 0; x < pixels.width(); ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = static_cast<uint8_t>(x + y);
    }
  }
}

TEST(Surface, CoversTheClientAreaInPaddedRowsAndEndsWithTheWindow) {
  const HWND window = MakeWindow(5, 3);
  EXPECT_EQ(SurfaceOf(window), nullptr);
  std::shared_ptr<Surface> surface = CreateSurface(window);
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(SurfaceOf(window), surface);
  {
    Surface::Pixels pixels = surface->Lock();
    EXPECT_EQ(pixels.width(), 5);
    EXPECT_EQ(pixels.height(), 3);
    EXPECT_EQ(pixels.stride(), 16u) << "15 bytes of pixels padded to a multiple of 4";
    EXPECT_EQ(pixels.row(2) - pixels.bits(), 32);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 15; ++x) EXPECT_EQ(pixels.row(y)[x], 0) << "a new surface is black";
    }
  }
  const uint64_t before = surface->version();
  surface->Present();
  EXPECT_EQ(surface->version(), before + 1);

  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_EQ(SurfaceOf(window), nullptr);
  // A writer that still holds the surface writes into it harmlessly.
  PaintPositions(*surface);
  surface->Present();
  surface->FitToWindow();
  EXPECT_EQ(surface->Lock().width(), 5);

  SetLastError(0);
  EXPECT_EQ(CreateSurface(window), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  const HWND messageOnly = ksv::platform::ui::CreateMessageOnlyWindow();
  EXPECT_EQ(CreateSurface(messageOnly), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  DestroyWindow(messageOnly);
}

TEST(Surface, FollowsTheWindowsSizeKeepingTheTopLeft) {
  shapeLog.clear();
  const HWND window = MakeWindow(4, 4, ShapeLog);
  std::shared_ptr<Surface> surface = CreateSurface(window);
  PaintPositions(*surface);

  ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 6, 2, SWP_NOMOVE | SWP_NOZORDER));
  RECT client{};
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right, 6);
  EXPECT_EQ(client.bottom, 2);
  {
    Surface::Pixels pixels = surface->Lock();
    ASSERT_EQ(pixels.width(), 6);
    ASSERT_EQ(pixels.height(), 2);
    EXPECT_EQ(pixels.row(1)[3 * 3 + 0], 3) << "kept: B = x";
    EXPECT_EQ(pixels.row(1)[3 * 3 + 1], 1) << "kept: G = y";
    for (int x = 4; x < 6; ++x) {
      EXPECT_EQ(pixels.row(0)[3 * x] | pixels.row(0)[3 * x + 1] | pixels.row(0)[3 * x + 2], 0)
          << "new columns are black";
    }
  }
  ASSERT_TRUE(MoveWindow(window, 30, 40, 6, 2, TRUE));
  ASSERT_TRUE(MoveWindow(window, 30, 40, 8, 8, TRUE));
  EXPECT_EQ(surface->Lock().height(), 8);
  const std::vector<std::string> expected{"size 6x2", "move 30,40", "size 8x8"};
  EXPECT_EQ(shapeLog, expected) << "WM_MOVE and WM_SIZE only for what changed";
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.bottom, 48);
  DestroyWindow(window);
}

TEST(Surface, SavesAsPngWithItsColoursInOrder) {
  ksv::testing::TempFolder folder;
  const HWND window = MakeWindow(7, 5);
  SetLastError(0);
  EXPECT_FALSE(SaveSurfacePng(window, folder / "none.png"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "no surface yet";

  std::shared_ptr<Surface> surface = CreateSurface(window);
  PaintPositions(*surface);
  ASSERT_TRUE(SaveSurfacePng(window, folder / "picture.png"));
  const ksv::picture::RgbPicture read =
      ksv::picture::DecodePng(ksv::testing::ReadFile(folder / "picture.png"), "picture.png");
  ASSERT_EQ(read.width, 7u);
  ASSERT_EQ(read.height, 5u);
  for (uint32_t y = 0; y < 5; ++y) {
    for (uint32_t x = 0; x < 7; ++x) {
      const uint8_t* pixel = &read.pixels[(y * 7 + x) * 3];
      ASSERT_EQ(pixel[0], x + y) << "red at " << x << "," << y;
      ASSERT_EQ(pixel[1], y) << "green at " << x << "," << y;
      ASSERT_EQ(pixel[2], x) << "blue at " << x << "," << y;
    }
  }
  EXPECT_FALSE(SaveSurfacePng(window, folder / "missing" / "picture.png"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANTWRITE));
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE);
  EXPECT_FALSE(SaveSurfacePng(window, folder / "empty.png")) << "an empty surface has no picture";
  DestroyWindow(window);
  EXPECT_FALSE(SaveSurfacePng(window, folder / "gone.png"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Placement, ShowingSetsTheStyleAndActivatesTopLevelWindows) {
  shapeLog.clear();
  const HWND window = MakeWindow(4, 4, ShapeLog);
  static const std::string childClass = RegisterTestClass(DefWindowProcA);
  const HWND control = CreateTestWindow(childClass, window, WS_CHILD | WS_VISIBLE, 1);
  SetFocus(nullptr);

  EXPECT_FALSE(IsWindowVisible(control)) << "its parent is hidden";
  EXPECT_FALSE(ShowWindow(window, SW_SHOWNA));
  EXPECT_EQ(GetFocus(), nullptr) << "SW_SHOWNA does not activate";
  EXPECT_TRUE(IsWindowVisible(control));
  EXPECT_NE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_TRUE(ShowWindow(window, SW_SHOW)) << "it was visible";
  EXPECT_EQ(GetFocus(), window);
  SetFocus(control);
  ShowWindow(window, SW_SHOW);
  EXPECT_EQ(GetFocus(), control) << "focus inside the window stays";
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(ShowWindow(window, SW_HIDE));
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  EXPECT_TRUE(IsWindowVisible(window));
  const std::vector<std::string> expected{"show", "hide", "show"};
  EXPECT_EQ(shapeLog, expected) << "WM_SHOWWINDOW only when visibility changes";
  DestroyWindow(window);
  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// A writer thread draws whole frames of one value and presents them while
// the owner sizes the window and saves pictures: every saved picture is one
// frame, never a torn mix, and nothing races.
TEST(SurfaceThreads, WritersDrawWhileTheOwnerSizesAndSaves) {
  ksv::testing::TempFolder folder;
  const HWND window = MakeWindow(16, 16);
  std::shared_ptr<Surface> surface = CreateSurface(window);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (uint8_t value = 1; !stop.load(); ++value) {
      {
        Surface::Pixels pixels = surface->Lock();
        for (int y = 0; y < pixels.height(); ++y) {
          std::memset(pixels.row(y), value, static_cast<size_t>(pixels.width()) * 3);
        }
      }
      surface->Present();
    }
  });
  for (int i = 0; i < 40; ++i) {
    const int side = 8 + (i % 5) * 4;
    ASSERT_TRUE(MoveWindow(window, 0, 0, side, side, FALSE));
    const std::filesystem::path path = folder / "frame.png";
    ASSERT_TRUE(SaveSurfacePng(window, path));
    const ksv::picture::RgbPicture read =
        ksv::picture::DecodePng(ksv::testing::ReadFile(path), "frame.png");
    ASSERT_EQ(read.width, static_cast<uint32_t>(side));
    // A frame drawn before the last resize keeps black new parts; otherwise
    // all pixels hold one value.
    uint8_t drawn = 0;
    for (const uint8_t byte : read.pixels) {
      if (byte == 0) continue;
      if (drawn != 0 && byte != drawn) FAIL() << "a torn frame: " << int{drawn} << " and " << int{byte};
      drawn = byte;
    }
  }
  stop.store(true);
  writer.join();
  DestroyWindow(window);
}

}  // namespace
