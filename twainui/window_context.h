// What one acquisition window holds. The window procedure reaches it only
// through the process-wide current window, so one window exists per process.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/work_folder.h"
#include "include/oksv1ui.h"
#include "platform/ui/user32.h"
#include "twainui/button.h"

namespace ksv::twainui {

struct ImageItem {
  HGLOBAL full = nullptr;       // the picture until its thumbnail exists
  HGLOBAL thumbnail = nullptr;  // 96 x 72, packed
  std::string file;             // its bitmap file in the images folder
  int width = 0;
  int height = 0;
  bool selected = false;
  int kind = 0;
  int clip = -1;  // clips only: their number, from 0
};

// How KXTWNUI_GetTotalSelectedImg last counted, which fixes what an index means.
enum class TransferMode { kFirstImage = 1, kSelected = 2, kAll = 3 };

struct ThumbnailGrid {
  int columns = 0;
  int rows = 0;
  HBITMAP cellBackground = nullptr;
  int firstVisible = 0;
  std::vector<std::unique_ptr<ImageItem>> images;
  common::WorkFolder folder;  // this window's own folder under "Images"
  int anchor = -1;            // the selection's anchor, -1 when none
  TransferMode mode = TransferMode::kFirstImage;
  int nextClip = 0;

  int page() const { return columns * rows; }
  int count() const { return static_cast<int>(images.size()); }
};

}  // namespace ksv::twainui

struct KxTwnUiWindow {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  bool cameraDownload = false;
  int uiState = 0;
  int layout = 0;
  std::array<ksv::twainui::Button, ksv::twainui::kButtonCount> buttons;
  ksv::twainui::Button download;
  ksv::twainui::Button saveAll;
  HBITMAP background = nullptr;
  HBITMAP tooltipBackground = nullptr;
  HFONT font = nullptr;
  HCURSOR cursor = nullptr;
  HBITMAP logo = nullptr;
  HBITMAP logoMask = nullptr;
  POINT logoAt{};
  std::string tooltip;  // what the strip shows; empty when hidden
  ksv::twainui::ThumbnailGrid grid;
  KXTWNUI_EventCallback callback = nullptr;
  intptr_t user = 0;
  bool transferAll = false;  // set by a click on TransferAll, for the window's life
  bool timerRunning = false;
  bool inTick = false;  // a tick's handler is still running
  int soundCount = 0;
  std::array<const char*, 2> sounds{};  // WAVE images 141 and 183
};

namespace ksv::twainui {

// The window of the process, null when there is none.
KxTwnUiWindow* CurrentWindow();
void SetCurrentWindow(KxTwnUiWindow* context);

// Calls the event callback with a record of category 1.
void SendEvent(KxTwnUiWindow& context, int event, int action, int first, int second);

}  // namespace ksv::twainui
