#include "twainui/window_painting.h"

#include <algorithm>

#include "twainui/drawing.h"
#include "twainui/thumbnail_grid.h"

namespace ksv::twainui {

namespace {

// What the cells cover, so that a change in the grid redraws only them.
RECT GridArea(const Layout& layout, const ThumbnailGrid& grid) {
  RECT area{layout.cells[0].x, layout.cells[0].y, layout.cells[0].x, layout.cells[0].y};
  for (int cell = 0; cell < grid.page(); ++cell) {
    const POINT at = layout.cells[static_cast<size_t>(cell)];
    area.left = std::min<LONG>(area.left, at.x);
    area.top = std::min<LONG>(area.top, at.y);
    area.right = std::max<LONG>(area.right, at.x + kCellHitWidth + 1);
    area.bottom = std::max<LONG>(area.bottom, at.y + kCellHitHeight + 1);
  }
  return area;
}

void DrawTooltip(const KxTwnUiWindow& context, HDC dc) {
  if (!LayoutAt(context.layout).tooltip) return;
  DrawBitmap(dc, context.tooltipBackground, kTooltipAt.x, kTooltipAt.y, SRCCOPY);
  if (context.tooltip.empty()) return;
  RECT box{kTooltipAt.x, kTooltipAt.y, kTooltipAt.x + kTooltipBox.cx, kTooltipAt.y + kTooltipBox.cy};
  const HGDIOBJ old = context.font != nullptr ? SelectObject(dc, context.font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextA(dc, context.tooltip.c_str(), -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (old != nullptr) SelectObject(dc, old);
}

}  // namespace

void PaintWindow(KxTwnUiWindow& context) {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(context.window, &paint);
  DrawBitmap(dc, context.background, 0, 0, SRCCOPY);
  if (context.logo != nullptr) {
    if (context.logoMask != nullptr) {
      SetBkColor(dc, RGB(255, 255, 255));
      SetTextColor(dc, RGB(0, 0, 0));
      DrawBitmap(dc, context.logo, context.logoAt.x, context.logoAt.y, SRCINVERT);
      DrawBitmap(dc, context.logoMask, context.logoAt.x, context.logoAt.y, SRCAND);
      DrawBitmap(dc, context.logo, context.logoAt.x, context.logoAt.y, SRCINVERT);
    } else {
      DrawBitmap(dc, context.logo, context.logoAt.x, context.logoAt.y, SRCCOPY);
    }
  }
  DrawGrid(context.grid, LayoutAt(context.layout), dc);
  DrawTooltip(context, dc);
  EndPaint(context.window, &paint);
}

void RedrawGrid(KxTwnUiWindow& context) {
  const RECT area = GridArea(LayoutAt(context.layout), context.grid);
  InvalidateRect(context.window, &area, FALSE);
}

void RedrawTooltip(KxTwnUiWindow& context) {
  if (!LayoutAt(context.layout).tooltip) return;
  const HDC dc = GetDC(context.window);
  DrawTooltip(context, dc);
  ReleaseDC(context.window, dc);
}

}  // namespace ksv::twainui
