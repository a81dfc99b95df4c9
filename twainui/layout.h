// Where everything sits in the acquisition window's two layouts, and the
// resources each part is drawn from.
#pragma once

#include <array>

#include "include/win32_types.h"

namespace ksv::twainui {

inline constexpr int kThumbnailWidth = 96;
inline constexpr int kThumbnailHeight = 72;
// A cell is hit from its position to 113 x 96 pixels on, both ends included.
inline constexpr int kCellHitWidth = 113;
inline constexpr int kCellHitHeight = 96;
inline constexpr int kMaxCells = 10;

struct Layout {
  int background;  // bitmap: the window's picture and size
  int region;      // region data: the window's shape
  int columns;
  int rows;
  RECT videoView;
  std::array<POINT, kMaxCells> thumbnails;  // row by row, left cell first
  std::array<POINT, kMaxCells> cells;
  RECT download;
  RECT saveAll;
  std::array<RECT, 7> buttons;  // the labelled and paging buttons, in button order
  bool tooltip;                 // whether the tooltip strip is shown
};

// Layout 0 (small) or 1 (large), picked by the full-screen client width.
const Layout& LayoutAt(int index);
int PickLayout(int fullScreenWidth);

// The labelled and paging buttons, in order: SnapShot, Coloring, Transfer,
// TransferAll, Exit, page back, page forward.
inline constexpr int kButtonCount = 7;
enum ButtonIndex { kSnapShot, kColoring, kTransfer, kTransferAll, kExit, kPageBack, kPageForward };
struct ButtonArt {
  int command;
  int image;
  int mask;
  int disabled;
  const char* label;  // the default; null for the paging buttons
};
const ButtonArt& ButtonArtAt(int index);

// The camera-download buttons: normal, pointer-over and pressed bitmaps.
struct DrawnButtonArt {
  int command;
  int normal;
  int over;
  int pressed;
};
inline constexpr DrawnButtonArt kDownloadArt{2007, 147, 144, 146};
inline constexpr DrawnButtonArt kSaveAllArt{2008, 148, 149, 150};

// Other resources.
inline constexpr int kDialogResource = 129;
inline constexpr int kCellBackground = 130;
inline constexpr int kTooltipBackground = 184;
inline constexpr int kButtonCursor = 159;
inline constexpr int kShutterSound = 141;
inline constexpr int kSecondSound = 183;
inline constexpr POINT kTooltipAt{115, 366};
inline constexpr SIZE kTooltipBox{380, 34};

}  // namespace ksv::twainui
