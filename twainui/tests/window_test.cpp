// The acquisition window driven as a person drives it: the pointer and the
// left button through the input seam, on a screen of each layout's size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bitmap_file.h"
#include "common/bitmap_resample.h"
#include "common/packed_bitmap.h"
#include "include/oksv1ui.h"
#include "platform/kernel/performance_counter.h"
#include "platform/memory/global_memory.h"
#include "platform/ui/input.h"
#include "platform/ui/surface.h"
#include "testing/temp_files.h"

namespace {

namespace input = ksv::platform::ui::input;
using ksv::common::PackedBitmapPixels;
using ksv::common::PackedRowBytes;

struct Event {
  int event, action, first, second;
  bool operator==(const Event&) const = default;
};
std::vector<Event> events;
void (*onEvent)(const KXTWNUI_EVENT&) = nullptr;

void Record(intptr_t user, const KXTWNUI_EVENT* record) {
  EXPECT_EQ(user, 77);
  EXPECT_EQ(record->category, 1);
  events.push_back({record->event, record->action, record->first, record->second});
  if (onEvent != nullptr) onEvent(*record);
}

void Pump() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// A 24-bit picture whose every pixel differs from its neighbours.
HGLOBAL Picture(int width, int height, int seed) {
  HGLOBAL block = ksv::common::CreatePackedBitmap(width, height, 24);
  uint8_t* pixels = PackedBitmapPixels(GlobalLock(block));
  const size_t stride = PackedRowBytes(width, 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = pixels + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
      p[0] = static_cast<uint8_t>(x * 7 + seed);
      p[1] = static_cast<uint8_t>(y * 5 + seed * 3);
      p[2] = static_cast<uint8_t>((x ^ y) + seed * 11);
    }
  }
  GlobalUnlock(block);
  return block;
}

std::vector<uint8_t> BytesOf(HGLOBAL block) {
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> copy(bytes, bytes + GlobalSize(block));
  GlobalUnlock(block);
  return copy;
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class AcquisitionWindow : public ::testing::Test {
 protected:
  void Open(const char* screen, bool cameraDownload = true) {
    ::setenv("KSV_ROOT", root_.path().c_str(), 1);
    ::setenv("KSV_SCREEN_SIZE", screen, 1);
    events.clear();
    onEvent = nullptr;
    ui_ = KXTWNUI_Init(0, 0, 0, nullptr, nullptr, cameraDownload ? 1 : 0);
    ASSERT_NE(ui_, nullptr);
    KXTWNUI_SetCallback(ui_, Record, 77);
    window_ = KXTWNUI_GetWndHandle(ui_);
    KXTWNUI_Show(ui_, SW_SHOW);
    Pump();
  }
  void TearDown() override {
    if (ui_ != nullptr) {
      EXPECT_EQ(KXTWNUI_Reset(ui_), 1);
    }
    onEvent = nullptr;
  }
  void Add(int count, int kind = KXTWNUI_STORED_PICTURE) {
    for (int i = 0; i < count; ++i) {
      HGLOBAL picture = Picture(40, 30, added_++);
      ASSERT_EQ(KXTWNUI_AddImage(ui_, nullptr, picture, kind), 1);
      GlobalFree(picture);
    }
  }
  void Move(POINT p, unsigned keys = input::kNoKeys) {
    ASSERT_TRUE(input::MoveAt(window_, p.x, p.y, keys));
    Pump();
  }
  void Click(POINT p, unsigned keys = input::kNoKeys) {
    ASSERT_TRUE(input::PressAt(window_, p.x, p.y, keys));
    ASSERT_TRUE(input::ReleaseAt(window_, p.x, p.y, keys));
    Pump();
  }
  std::vector<Event> Take() { return std::exchange(events, {}); }
  std::filesystem::path Images() const { return root_.path() / "system32" / "Images"; }

  ksv::testing::TempFolder root_;
  KXTWNUI_HANDLE ui_ = nullptr;
  HWND window_ = nullptr;
  int added_ = 0;  // each picture added differs from the others
};

// The large layout's buttons (rectangles in the window) and their events.
struct ButtonRow {
  RECT rect;
  int event;
  bool clickPassedOn;
};
const ButtonRow kLargeButtons[] = {
    {{12, 27, 92, 107}, 1, true},   {{12, 109, 92, 189}, 2, true}, {{12, 191, 92, 271}, 3, true},
    {{12, 273, 92, 353}, 4, true},  {{12, 355, 92, 435}, 5, true}, {{520, 12, 552, 44}, 6, false},
    {{592, 12, 624, 44}, 7, false}, {{420, 518, 500, 566}, 9, true}, {{300, 518, 380, 566}, 10, true},
};

TEST_F(AcquisitionWindow, EveryButtonTellsEnteredLeftAndClickedAsItsEventSays) {
  Open("1024x768");
  ASSERT_EQ(KXTWNUI_ChangeUIState(ui_, 2), 1);
  const POINT away{300, 460};  // the body between the video and the buttons
  for (const ButtonRow& row : kLargeButtons) {
    SCOPED_TRACE(row.event);
    Move(Centre(row.rect));
    Move(away);
    Move(Centre(row.rect));
    Click(Centre(row.rect));
    Move(away);  // the click let the capture go: the button hears no more
    std::vector<Event> expected = {{row.event, 1, 0, 0}, {row.event, 2, 0, 0}, {row.event, 1, 0, 0}};
    if (row.clickPassedOn) expected.push_back({row.event, 3, 0, 0});
    EXPECT_EQ(Take(), expected);
  }

  // Pressed inside, released outside: it left, and no click.
  const POINT exitButton = Centre(kLargeButtons[4].rect);
  Move(exitButton);
  ASSERT_TRUE(input::PressAt(window_, exitButton.x, exitButton.y));
  ASSERT_TRUE(input::ReleaseAt(window_, away.x, away.y));
  Pump();
  EXPECT_EQ(Take(), (std::vector<Event>{{5, 1, 0, 0}, {5, 2, 0, 0}}));

  // The button's cursor is the library's cursor resource while over it.
  Move(exitButton);
  EXPECT_EQ(GetCursor(), LoadCursorA(KXTWNUI_GetInstanceHandle(ui_), MAKEINTRESOURCEA(159)));
  EXPECT_NE(GetCursor(), nullptr);
  Move(away);

  // State 0 disables Transfer: the pointer over it and a click tell nothing.
  ASSERT_EQ(KXTWNUI_ChangeUIState(ui_, 0), 1);
  Take();
  Move(Centre(kLargeButtons[2].rect));
  Click(Centre(kLargeButtons[2].rect));
  Move(away);
  EXPECT_EQ(Take(), std::vector<Event>{});
  EXPECT_EQ(KXTWNUI_ChangeUIState(ui_, 6), 0);
  EXPECT_EQ(KXTWNUI_GetUIState(ui_), 0);
}

TEST_F(AcquisitionWindow, TheGridPagesSelectsAndReportsThePointerAndDoubleClicks) {
  Open("640x480");
  KXTWNUI_ChangeUIState(ui_, 2);
  const POINT cell[4] = {{570, 90}, {570, 197}, {570, 304}, {570, 411}};
  const int kinds[5] = {KXTWNUI_SNAPSHOT, KXTWNUI_CLIP, KXTWNUI_STORED_PICTURE, KXTWNUI_LOW_CLIP,
                        KXTWNUI_BURST_PICTURE};
  for (const int kind : kinds) Add(1, kind);
  Take();
  // The fifth image pages the grid on: images 2-5 show.
  Move(cell[0]);
  Move(cell[3]);
  EXPECT_EQ(Take(), (std::vector<Event>{{12, KXTWNUI_CLIP, 2, 5}, {12, KXTWNUI_BURST_PICTURE, 5, 5}}));
  // Both ends of a cell's hit area count: x 515..628, y 44..140.
  Move({515 + 113, 44 + 96});
  EXPECT_EQ(Take(), (std::vector<Event>{{12, KXTWNUI_CLIP, 2, 5}}));

  // A double click on a clip names its clip number; the second clip is 1.
  ASSERT_TRUE(input::DoubleClickAt(window_, cell[2].x, cell[2].y));
  Pump();
  ASSERT_TRUE(input::DoubleClickAt(window_, cell[0].x, cell[0].y));
  Pump();
  const std::vector<Event> doubles = Take();
  ASSERT_EQ(doubles.size(), 2u);
  EXPECT_EQ(doubles[0], (Event{14, KXTWNUI_LOW_CLIP, 1, 5}));
  EXPECT_EQ(doubles[1], (Event{14, KXTWNUI_CLIP, 0, 5}));

  // Control on image 3 alone, then Shift on image 5: images 3-5, anchored
  // on the first. (The double clicks above selected 2 and 4: clear them.)
  Click(cell[0], input::kControl);
  Click(cell[2], input::kControl);
  ASSERT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 1);  // nothing selected: the oldest image
  Click(cell[1], input::kControl);
  Click(cell[3], input::kShift);
  ASSERT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 3);
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_EQ(KXTWNUI_GetImgDim(ui_, 0, &width, &height), 1);
  EXPECT_EQ(KXTWNUI_GetImgDim(ui_, 3, &width, &height), 0);
  // Control on the only selected image clears the anchor; Shift then
  // anchors on what it clicks.
  Click(cell[1], input::kControl);
  Click(cell[2], input::kControl);
  ASSERT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 1);
  Click(cell[3], input::kControl);
  ASSERT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 1);
  Click(cell[3], input::kShift);
  EXPECT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 1);
  HGLOBAL chosen = KXTWNUI_GetDIB(ui_, 0);  // mode 2: the one selected, image 5
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(BytesOf(chosen)[sizeof(BITMAPINFOHEADER)], 4);  // Picture(.., 4): the fifth's first blue
  GlobalFree(chosen);

  // Page back shows images 1-4; page forward 2-5 again.
  Click({533, 25});
  Move(cell[0]);
  Click({605, 25});
  Move(cell[0]);
  std::vector<Event> pointer;
  for (const Event& e : Take()) {
    if (e.event == 12) pointer.push_back(e);
  }
  EXPECT_EQ(pointer, (std::vector<Event>{{12, KXTWNUI_SNAPSHOT, 1, 5}, {12, KXTWNUI_CLIP, 2, 5}}));

  // TransferAll: every image, by list position, for the rest of the window's life.
  Click(Centre(RECT{9, 268, 89, 348}));
  EXPECT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 5);

  // A press on the body drags the window with the pointer.
  RECT before{};
  GetWindowRect(window_, &before);
  ASSERT_TRUE(input::PressAt(window_, 300, 30));
  ASSERT_TRUE(input::MoveAt(window_, 320, 40));
  ASSERT_TRUE(input::ReleaseAt(window_, 320, 40));
  Pump();
  RECT after{};
  GetWindowRect(window_, &after);
  EXPECT_EQ(after.left - before.left, 20);
  EXPECT_EQ(after.top - before.top, 10);
}

TEST_F(AcquisitionWindow, WithoutSelectionTheOldestImageTransfersWithThePixelsAdded) {
  Open("640x480", false);
  EXPECT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 0);
  HGLOBAL first = Picture(33, 17, 9);
  ASSERT_EQ(KXTWNUI_AddImage(ui_, nullptr, first, KXTWNUI_SNAPSHOT), 1);
  const std::filesystem::path file = root_.path() / "picture.bmp";
  HGLOBAL second = Picture(20, 10, 1);
  ASSERT_TRUE(ksv::common::WriteBitmapFile(file.c_str(), second));
  ASSERT_EQ(KXTWNUI_AddImage(ui_, file.c_str(), nullptr, KXTWNUI_STORED_PICTURE), 1);
  EXPECT_EQ(KXTWNUI_AddImage(ui_, (root_.path() / "none.bmp").c_str(), nullptr, KXTWNUI_STORED_PICTURE), 0);

  EXPECT_EQ(KXTWNUI_GetTotalSelectedImg(ui_), 1);
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_EQ(KXTWNUI_GetImgDim(ui_, 0, &width, &height), 1);
  EXPECT_EQ(width, 33);
  EXPECT_EQ(height, 17);
  HGLOBAL back = KXTWNUI_GetDIB(ui_, 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(BytesOf(back), BytesOf(first));
  GlobalFree(back);
  EXPECT_EQ(KXTWNUI_GetDIB(ui_, 2), nullptr);

  // Each image is a "TMP" bitmap file in the window's own folder under Images.
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Images())) {
    if (entry.is_regular_file() && entry.path().filename().string().rfind("TMP", 0) == 0) files.push_back(entry);
  }
  ASSERT_EQ(files.size(), 2u);
  const std::vector<uint8_t> bytes = ksv::testing::ReadFile(files[0]);
  ASSERT_GE(bytes.size(), 14u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(bytes[10], 14 + 40);  // the pixels follow the two headers

  // Empty cells: the pointer and a double click over one say so.
  Take();
  Move({570, 304});
  ASSERT_TRUE(input::DoubleClickAt(window_, 570, 304));
  Pump();
  EXPECT_EQ(Take(), (std::vector<Event>{{13, 0, 0, 0}, {13, 0, 0, 0}}));

  // The list holds 2,048 images and refuses the next.
  HGLOBAL tiny = Picture(2, 2, 0);
  for (int i = 2; i < KXTWNUI_MAX_IMAGES; ++i) ASSERT_EQ(KXTWNUI_AddImage(ui_, nullptr, tiny, 2), 1) << i;
  EXPECT_EQ(KXTWNUI_AddImage(ui_, nullptr, tiny, 2), 0);
  GlobalFree(tiny);

  // Reset leaves no image file behind.
  ASSERT_EQ(KXTWNUI_Reset(ui_), 1);
  ui_ = nullptr;
  size_t left = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Images())) left += entry.is_regular_file();
  EXPECT_EQ(left, 0u);
  GlobalFree(first);
  GlobalFree(second);
}

TEST_F(AcquisitionWindow, TheTickComesEverySecondAndNeverInsideItself) {
  ksv::platform::kernel::SimulatedPerformanceCounter clock(1000, 0, false);
  const ksv::platform::kernel::ScopedPerformanceCounter installed(clock);
  Open("1024x768");
  static ksv::platform::kernel::SimulatedPerformanceCounter* ticking = &clock;
  // The first tick's handler pumps messages while a second one is due.
  onEvent = [](const KXTWNUI_EVENT& record) {
    if (record.event != 8) return;
    onEvent = nullptr;
    ticking->Advance(1000);
    Pump();
  };
  Take();
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(Take(), (std::vector<Event>{{8, 0, 0, 0}}));
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(Take(), (std::vector<Event>{{8, 0, 0, 0}}));
}

TEST_F(AcquisitionWindow, LabelsComeFromTheirSlotsAndOneOfSixtyFourCharactersIsRefused) {
  ASSERT_EQ(KXTWNUI_LocalizeBtnStr(1, "Farben"), 1);
  EXPECT_EQ(KXTWNUI_LocalizeBtnStr(1, std::string(64, 'x').c_str()), 0);
  EXPECT_EQ(KXTWNUI_LocalizeBtnStr(7, "Seven"), 0);
  EXPECT_EQ(KXTWNUI_LocalizeBtnStr(-1, "Minus"), 0);
  Open("1024x768");
  char text[80] = {};
  GetWindowTextA(GetDlgItem(window_, 2001), text, sizeof text);
  EXPECT_STREQ(text, "Farben");
  GetWindowTextA(GetDlgItem(window_, 2002), text, sizeof text);
  EXPECT_STREQ(text, "Transfer");
  EXPECT_EQ(KXTWNUI_LocalizeBtnStr(1, ""), 1);  // the default again, for later windows
  // One window a process: its procedure finds it through one pointer.
  EXPECT_EQ(KXTWNUI_Init(0, 0, 0, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(KXTWNUI_Reset(nullptr), 0);
  EXPECT_EQ(KXTWNUI_GetUIState(nullptr), -1);
  EXPECT_EQ(KXTWNUI_GetTotalSelectedImg(nullptr), 0);
}

}  // namespace
