// What the window shows in each layout and UI state: each button's artwork
// (normal or disabled as the state has it), each thumbnail as the resampled
// picture with the selection's red frame. The screenshots are kept in
// $KSV_TWAINUI_SCREENSHOTS, else in "screenshots" under the test's folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bitmap_resample.h"
#include "common/packed_bitmap.h"
#include "include/oksv1ui.h"
#include "platform/memory/global_memory.h"
#include "platform/module/module.h"
#include "platform/resources/resources.h"
#include "platform/ui/input.h"
#include "platform/ui/surface.h"
#include "testing/temp_files.h"

namespace {

namespace input = ksv::platform::ui::input;
using ksv::common::PackedBitmapPixels;
using ksv::common::PackedRowBytes;

// A picture of a sky, a hill and a sun, in a hue of its own; drawn at 320 x
// 240, or at 64 x 48, which the thumbnail enlarges (and whose last column
// and row the thumbnail's rule leaves unblended).
HGLOBAL Scene(int seed) {
  const int width = seed % 2 == 0 ? 320 : 64;
  const int height = width * 3 / 4;
  HGLOBAL block = ksv::common::CreatePackedBitmap(width, height, 24);
  uint8_t* pixels = PackedBitmapPixels(GlobalLock(block));
  for (int row = 0; row < height; ++row) {
    const int y = (height - 1 - row) * 320 / width;  // rows are bottom-up
    for (int column = 0; column < width; ++column) {
      const int x = column * 320 / width;
      uint8_t* p = pixels + static_cast<size_t>(row) * PackedRowBytes(width, 24) + static_cast<size_t>(column) * 3;
      const bool hill = y > 150 + 30 * std::sin((x + seed * 40) / 50.0);
      const bool sun = std::hypot(x - 60 - seed * 35, y - 60) < 25;
      const int r = sun ? 250 : hill ? 40 + seed * 30 : 90 + y / 3;
      const int g = sun ? 210 : hill ? 150 - seed * 10 : 140 + y / 4;
      const int b = sun ? 60 : hill ? 50 + seed * 20 : 230 - seed * 15;
      p[0] = static_cast<uint8_t>(b);
      p[1] = static_cast<uint8_t>(g);
      p[2] = static_cast<uint8_t>(r);
    }
  }
  GlobalUnlock(block);
  return block;
}

// A bitmap's pixels as 0xRRGGBB, row 0 at the top.
std::vector<uint32_t> PixelsOf(HBITMAP bitmap, SIZE* size) {
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  *size = {info.bmWidth, info.bmHeight};
  BITMAPINFO dib{};
  dib.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP copy = CreateDIBSection(nullptr, &dib, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HDC from = CreateCompatibleDC(nullptr);
  const HDC to = CreateCompatibleDC(nullptr);
  SelectObject(from, bitmap);
  SelectObject(to, copy);
  BitBlt(to, 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY);
  std::vector<uint32_t> pixels;
  const size_t stride = PackedRowBytes(info.bmWidth, 24);
  for (int y = 0; y < info.bmHeight; ++y) {
    const auto* row = static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * stride;
    for (int x = 0; x < info.bmWidth; ++x) pixels.push_back(row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x]);
  }
  DeleteDC(from);
  DeleteDC(to);
  DeleteObject(copy);
  DeleteObject(bitmap);
  return pixels;
}

struct LayoutCase {
  const char* screen;
  const char* name;
  std::vector<RECT> buttons;  // SnapShot ... page forward
  std::vector<POINT> thumbnails;
};

const LayoutCase kSmall{"640x480", "small",
                        {{9, 22, 89, 102}, {9, 104, 89, 184}, {9, 186, 89, 266}, {9, 268, 89, 348},
                         {9, 350, 89, 430}, {517, 9, 549, 41}, {589, 9, 621, 41}},
                        {{524, 56}, {524, 163}, {524, 270}, {524, 377}}};
const LayoutCase kLarge{"1280x1024", "large",
                        {{12, 27, 92, 107}, {12, 109, 92, 189}, {12, 191, 92, 271}, {12, 273, 92, 353},
                         {12, 355, 92, 435}, {520, 12, 552, 44}, {592, 12, 624, 44}},
                        {{523, 61}, {643, 61}, {523, 168}, {643, 168}, {523, 275}, {643, 275}}};

constexpr POINT kLogo{370, 30};  // between the lens and the lamp

// Image, mask and disabled-image resources of the buttons, in order.
const int kArt[7][3] = {{161, 162, 163}, {181, 180, 179}, {169, 168, 167}, {175, 174, 173},
                        {166, 165, 164}, {172, 171, 170}, {178, 177, 176}};

class AcquisitionLook : public ::testing::TestWithParam<const LayoutCase*> {
 protected:
  void SetUp() override {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    ::setenv("KSV_SCREEN_SIZE", GetParam()->screen, 1);
    // The maker's badge the library carries (151, its mask 152), as files.
    const std::string logo = (root_.path() / "logo.bmp").string();
    const std::string mask = (root_.path() / "mask.bmp").string();
    WriteResourceFile(151, logo);
    WriteResourceFile(152, mask);
    ui_ = KXTWNUI_Init(0, kLogo.x, kLogo.y, logo.c_str(), mask.c_str(), 1);
    ASSERT_NE(ui_, nullptr);
    window_ = KXTWNUI_GetWndHandle(ui_);
    KXTWNUI_Show(ui_, SW_SHOW);
    Pump();
  }
  void TearDown() override {
    for (HGLOBAL scene : scenes_) GlobalFree(scene);
    if (ui_ != nullptr) KXTWNUI_Reset(ui_);
  }
  static void WriteResourceFile(int id, const std::string& path) {
    const auto bytes =
        ksv::platform::resources::FindResourceBytes(GetModuleHandleA("OKSV1UI.DLL"), MAKEINTRESOURCEA(id), RT_BITMAP);
    ASSERT_GT(bytes.size(), 40u);
    std::vector<uint8_t> file = {'B', 'M'};
    for (const uint32_t field : {static_cast<uint32_t>(14 + bytes.size()), 0u, 14u + 40u}) {
      for (int shift = 0; shift < 32; shift += 8) file.push_back(static_cast<uint8_t>(field >> shift));
    }
    file.resize(14);
    file.insert(file.end(), bytes.begin(), bytes.end());
    ksv::testing::WriteFile(path, file);
  }
  static void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  uint32_t At(int x, int y) {
    const auto surface = ksv::platform::ui::SurfaceOf(window_);
    auto pixels = surface->Lock();
    const uint8_t* p = pixels.row(y) + 3 * x;
    return static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]);
  }
  void Keep(int state) {
    const char* folder = std::getenv("KSV_TWAINUI_SCREENSHOTS");
    const std::filesystem::path where = folder != nullptr ? folder : "screenshots";
    std::filesystem::create_directories(where);
    const std::string name = std::string(GetParam()->name) + "-state" + std::to_string(state) + ".png";
    EXPECT_TRUE(ksv::platform::ui::SaveSurfacePng(window_, where / name));
  }
  // Where the button's mask is black, its normal or disabled image shows.
  void ExpectButton(int index, bool enabled) {
    SCOPED_TRACE("button " + std::to_string(index) + (enabled ? " enabled" : " disabled"));
    const HINSTANCE module = KXTWNUI_GetInstanceHandle(ui_);
    SIZE size{};
    SIZE maskSize{};
    const auto image = PixelsOf(LoadBitmapA(module, MAKEINTRESOURCEA(kArt[index][enabled ? 0 : 2])), &size);
    const auto mask = PixelsOf(LoadBitmapA(module, MAKEINTRESOURCEA(kArt[index][1])), &maskSize);
    ASSERT_EQ(size.cx, maskSize.cx);
    const RECT r = GetParam()->buttons[static_cast<size_t>(index)];
    const int left = r.left + (r.right - r.left - size.cx) / 2;
    const int top = index < 5 ? r.top + 3 : r.top + (r.bottom - r.top - size.cy) / 2;
    int covered = 0;
    int wrong = 0;
    for (int y = 0; y < size.cy; ++y) {
      for (int x = 0; x < size.cx; ++x) {
        const size_t at = static_cast<size_t>(y * size.cx + x);
        if (mask[at] != 0) continue;
        ++covered;
        wrong += At(left + x, top + y) != image[at];
      }
    }
    EXPECT_GT(covered, size.cx * size.cy / 8);  // the artwork draws something
    EXPECT_EQ(wrong, 0);
  }
  // Where the mask is black, the logo shows as it is.
  void ExpectLogo() {
    SIZE size{};
    SIZE maskSize{};
    const auto logo = PixelsOf(static_cast<HBITMAP>(LoadImageA(nullptr, (root_.path() / "logo.bmp").c_str(),
                                                               IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)), &size);
    const auto mask = PixelsOf(static_cast<HBITMAP>(LoadImageA(nullptr, (root_.path() / "mask.bmp").c_str(),
                                                               IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)), &maskSize);
    int covered = 0;
    int wrong = 0;
    for (int y = 0; y < size.cy; ++y) {
      for (int x = 0; x < size.cx; ++x) {
        if (mask[static_cast<size_t>(y * size.cx + x)] != 0) continue;
        ++covered;
        wrong += At(kLogo.x + x, kLogo.y + y) != logo[static_cast<size_t>(y * size.cx + x)];
      }
    }
    EXPECT_GT(covered, 0);
    EXPECT_EQ(wrong, 0);
  }
  void ExpectThumbnail(int cell, HGLOBAL scene, bool selected) {
    SCOPED_TRACE("cell " + std::to_string(cell));
    HGLOBAL thumbnail = ksv::common::ResamplePackedBitmap(scene, 96, 72, ksv::common::ResampleRule::kSingleLastUnblended);
    const uint8_t* pixels = PackedBitmapPixels(GlobalLock(thumbnail));
    const POINT at = GetParam()->thumbnails[static_cast<size_t>(cell)];
    int wrong = 0;
    for (int y = 0; y < 72; ++y) {
      const uint8_t* row = pixels + static_cast<size_t>(71 - y) * PackedRowBytes(96, 24);
      for (int x = 0; x < 96; ++x) {
        const uint32_t want = static_cast<uint32_t>(row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x]);
        wrong += At(at.x + x, at.y + y) != want;
      }
    }
    GlobalUnlock(thumbnail);
    GlobalFree(thumbnail);
    EXPECT_EQ(wrong, 0);
    const bool red = At(at.x - 1, at.y - 1) == 0xFF0000 && At(at.x + 96, at.y + 72) == 0xFF0000;
    EXPECT_EQ(red, selected);
  }

  ksv::testing::TempFolder root_;
  KXTWNUI_HANDLE ui_ = nullptr;
  HWND window_ = nullptr;
  std::vector<HGLOBAL> scenes_;
};

TEST_P(AcquisitionLook, ButtonsAndThumbnailsShowWhatTheStateAndImagesSay) {
  const LayoutCase& layout = *GetParam();
  // State 0, as the window starts: Transfer, TransferAll and paging disabled.
  EXPECT_EQ(KXTWNUI_GetUIState(ui_), 0);
  for (int i = 0; i < 7; ++i) ExpectButton(i, i != 2 && i != 3 && i != 5 && i != 6);
  ExpectLogo();
  Keep(0);

  // An image of each kind; the grid pages on to the newest.
  for (int kind = KXTWNUI_SNAPSHOT; kind <= KXTWNUI_LOW_CLIP; ++kind) {
    scenes_.push_back(Scene(kind - 1));
    ASSERT_EQ(KXTWNUI_AddImage(ui_, nullptr, scenes_.back(), kind), 1);
  }
  const int page = static_cast<int>(layout.thumbnails.size());
  const int first = 6 - page;  // the first visible image
  // Two thumbnails selected with Control.
  for (const int cell : {0, 2}) {
    const POINT at = layout.thumbnails[static_cast<size_t>(cell)];
    ASSERT_TRUE(input::PressAt(window_, at.x + 40, at.y + 30, input::kControl));
    ASSERT_TRUE(input::ReleaseAt(window_, at.x + 40, at.y + 30, input::kControl));
  }
  ASSERT_EQ(KXTWNUI_ChangeUIState(ui_, 2), 1);
  KXTWNUI_ShowToolTip(ui_, "Transfers the pictures you selected", 1);
  Pump();
  for (int i = 0; i < 7; ++i) ExpectButton(i, true);
  for (int cell = 0; cell < page; ++cell) ExpectThumbnail(cell, scenes_[static_cast<size_t>(first + cell)], cell == 0 || cell == 2);
  Keep(2);

  // State 5: SnapShot and Coloring disabled; with images Transfer stays.
  ASSERT_EQ(KXTWNUI_ChangeUIState(ui_, 5), 1);
  Pump();
  for (int i = 0; i < 7; ++i) ExpectButton(i, i > 1);
  Keep(5);
}

INSTANTIATE_TEST_SUITE_P(Layouts, AcquisitionLook, ::testing::Values(&kSmall, &kLarge),
                         [](const auto& param) { return std::string(param.param->name); });

TEST(AcquisitionSmallLayout, HasNoTooltipStrip) {
  ksv::testing::TempFolder root;
  ::setenv("KSV_ROOT", root.path().c_str(), 1);
  ::setenv("KSV_SCREEN_SIZE", "640x480", 1);
  KXTWNUI_HANDLE ui = KXTWNUI_Init(0, 0, 0, nullptr, nullptr, 0);
  ASSERT_NE(ui, nullptr);
  KXTWNUI_Show(ui, SW_SHOW);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  const HWND window = KXTWNUI_GetWndHandle(ui);
  const auto before = [&] {
    auto pixels = ksv::platform::ui::SurfaceOf(window)->Lock();
    return std::vector<uint8_t>(pixels.row(366), pixels.row(400));
  };
  const std::vector<uint8_t> strip = before();
  EXPECT_EQ(KXTWNUI_ShowToolTip(ui, "Not here", 1), 1);
  EXPECT_EQ(before(), strip);
  RECT video{};
  ASSERT_EQ(KXTWNUI_GetVideoViewRect(ui, &video), 1);
  EXPECT_EQ(video.left, 127);
  EXPECT_EQ(video.bottom, 381);
  KXTWNUI_Reset(ui);
}

}  // namespace
