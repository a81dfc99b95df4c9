#include "twainui/thumbnail_grid.h"

#include <algorithm>
#include <cstring>

#include "common/bitmap_file.h"
#include "common/bitmap_resample.h"
#include "common/folders.h"
#include "common/packed_bitmap.h"
#include "platform/files/files.h"
#include "platform/memory/global_memory.h"

namespace ksv::twainui {

namespace {

constexpr COLORREF kSelectionRed = RGB(255, 0, 0);
constexpr size_t kThumbnailPathBytes = 260;

// A movable copy of the caller's block, which stays the caller's.
HGLOBAL CopyBlock(HGLOBAL block) {
  const SIZE_T size = GlobalSize(block);
  if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
  const void* from = GlobalLock(block);
  if (from == nullptr) return nullptr;
  HGLOBAL copy = GlobalAlloc(GHND, size);
  if (copy != nullptr) {
    std::memcpy(GlobalLock(copy), from, size);
    GlobalUnlock(copy);
  }
  GlobalUnlock(block);
  return copy;
}

void FreeItem(ImageItem& item) {
  if (item.full != nullptr) GlobalFree(item.full);
  if (item.thumbnail != nullptr) GlobalFree(item.thumbnail);
  item.full = item.thumbnail = nullptr;
  if (!item.file.empty()) DeleteFileA(item.file.c_str());
}

void DrawPacked(HDC dc, int x, int y, HGLOBAL packed) {
  const void* bits = GlobalLock(packed);
  if (bits == nullptr) return;
  const int width = common::PackedBitmapWidth(bits);
  const int height = common::PackedBitmapHeight(bits);
  SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                    static_cast<UINT>(height), common::PackedBitmapPixels(bits), static_cast<const BITMAPINFO*>(bits),
                    DIB_RGB_COLORS);
  GlobalUnlock(packed);
}

}  // namespace

bool OpenGrid(ThumbnailGrid& grid, const std::string& imagesFolder, int columns, int rows, HBITMAP cellBackground) {
  grid.columns = columns;
  grid.rows = rows;
  grid.cellBackground = cellBackground;
  grid.firstVisible = 0;
  grid.anchor = -1;
  // Loose files in the folder are left over from an older window; each live
  // window's files are in its own claimed folder, which no one else touches.
  common::DeletePlainFiles(imagesFolder);
  return grid.folder.Claim(imagesFolder);
}

void CloseGrid(ThumbnailGrid& grid) {
  for (auto& item : grid.images) FreeItem(*item);
  grid.images.clear();
  grid.folder.Release();
  if (grid.cellBackground != nullptr) DeleteObject(grid.cellBackground);
  grid.cellBackground = nullptr;
}

bool AddImage(ThumbnailGrid& grid, const char* path, HGLOBAL bitmap, int kind) {
  if (grid.count() >= KXTWNUI_MAX_IMAGES || !grid.folder.claimed()) return false;
  auto item = std::make_unique<ImageItem>();
  item->full = bitmap != nullptr ? CopyBlock(bitmap) : path != nullptr ? common::ReadBitmapFile(path) : nullptr;
  if (item->full == nullptr) return false;
  const void* header = GlobalLock(item->full);
  item->width = common::PackedBitmapWidth(header);
  item->height = common::PackedBitmapHeight(header);
  GlobalUnlock(item->full);
  char file[kThumbnailPathBytes] = {};
  if (GetTempFileNameA(grid.folder.path().c_str(), "TMP", 0, file) == 0) {
    FreeItem(*item);
    return false;
  }
  item->file = file;
  if (!common::WriteBitmapFile(file, item->full)) {
    FreeItem(*item);
    return false;
  }
  item->kind = kind;
  item->clip = kind == KXTWNUI_CLIP || kind == KXTWNUI_LOW_CLIP ? grid.nextClip++ : -1;
  grid.images.push_back(std::move(item));
  const int page = grid.page();
  if (grid.count() >= page) grid.firstVisible = std::min(grid.firstVisible + page, grid.count() - page);
  return true;
}

void PageBack(ThumbnailGrid& grid) {
  if (grid.count() < grid.page()) return;
  grid.firstVisible = std::max(grid.firstVisible - grid.page(), 0);
}

void PageForward(ThumbnailGrid& grid) {
  if (grid.count() < grid.page()) return;
  grid.firstVisible = std::min(grid.firstVisible + grid.page(), grid.count() - grid.page());
}

int CellAt(const ThumbnailGrid& grid, const Layout& layout, int x, int y) {
  for (int cell = 0; cell < grid.page(); ++cell) {
    const POINT at = layout.cells[static_cast<size_t>(cell)];
    if (x >= at.x && x <= at.x + kCellHitWidth && y >= at.y && y <= at.y + kCellHitHeight) return cell;
  }
  return -1;
}

int ImageInCell(const ThumbnailGrid& grid, int cell) {
  if (cell < 0) return -1;
  const int index = grid.firstVisible + cell;
  return index < grid.count() ? index : -1;
}

void SelectOnPress(ThumbnailGrid& grid, int index, bool shift, bool control) {
  if (grid.anchor == -1) grid.anchor = index;
  if (shift) {
    const int low = std::min(grid.anchor, index);
    const int high = std::max(grid.anchor, index);
    for (int i = 0; i < grid.count(); ++i) grid.images[static_cast<size_t>(i)]->selected = i >= low && i <= high;
  } else if (control) {
    ImageItem& item = *grid.images[static_cast<size_t>(index)];
    item.selected = !item.selected;
    const bool any = std::any_of(grid.images.begin(), grid.images.end(), [](const auto& i) { return i->selected; });
    if (!any) grid.anchor = -1;
  } else {
    grid.images[static_cast<size_t>(index)]->selected = true;
  }
}

int CountToTransfer(ThumbnailGrid& grid, bool transferAll) {
  if (grid.images.empty()) return 0;
  if (transferAll) {
    grid.mode = TransferMode::kAll;
    return grid.count();
  }
  const auto selected = std::count_if(grid.images.begin(), grid.images.end(), [](const auto& i) { return i->selected; });
  if (selected > 0) {
    grid.mode = TransferMode::kSelected;
    return static_cast<int>(selected);
  }
  grid.mode = TransferMode::kFirstImage;
  return 1;
}

ImageItem* ImageForTransfer(ThumbnailGrid& grid, int index) {
  if (index < 0 || index >= grid.count()) return nullptr;
  if (grid.mode != TransferMode::kSelected) return grid.images[static_cast<size_t>(index)].get();
  for (auto& item : grid.images) {
    if (item->selected && index-- == 0) return item.get();
  }
  return nullptr;
}

void DrawGrid(ThumbnailGrid& grid, const Layout& layout, HDC dc) {
  const HDC cells = CreateCompatibleDC(dc);
  const HGDIOBJ old = grid.cellBackground != nullptr ? SelectObject(cells, grid.cellBackground) : nullptr;
  BITMAP cellSize{};
  if (grid.cellBackground != nullptr) GetObjectA(grid.cellBackground, sizeof cellSize, &cellSize);
  const HBRUSH red = CreateSolidBrush(kSelectionRed);
  for (int cell = 0; cell < grid.page(); ++cell) {
    const POINT at = layout.cells[static_cast<size_t>(cell)];
    if (grid.cellBackground != nullptr) BitBlt(dc, at.x, at.y, cellSize.bmWidth, cellSize.bmHeight, cells, 0, 0, SRCCOPY);
    const int index = ImageInCell(grid, cell);
    if (index < 0) continue;
    ImageItem& item = *grid.images[static_cast<size_t>(index)];
    if (item.thumbnail == nullptr && item.full != nullptr) {
      item.thumbnail = common::ResamplePackedBitmap(item.full, kThumbnailWidth, kThumbnailHeight,
                                                    common::ResampleRule::kSingleLastUnblended);
      if (item.thumbnail != nullptr) {
        GlobalFree(item.full);
        item.full = nullptr;
      }
    }
    const POINT thumb = layout.thumbnails[static_cast<size_t>(cell)];
    if (item.thumbnail != nullptr) DrawPacked(dc, thumb.x, thumb.y, item.thumbnail);
    if (item.selected) {
      const RECT frame{thumb.x - 1, thumb.y - 1, thumb.x + kThumbnailWidth + 1, thumb.y + kThumbnailHeight + 1};
      FrameRect(dc, &frame, red);
    }
  }
  DeleteObject(red);
  if (old != nullptr) SelectObject(cells, old);
  DeleteDC(cells);
}

}  // namespace ksv::twainui
