// What the window layer keeps for painting: each window's update region
// (the part of its client area waiting for WM_PAINT), whether its
// background is to be erased, and the shape SetWindowRgn gave it; and what
// the rest of the layer asks of it. The calls themselves (GetDC,
// BeginPaint, InvalidateRect ...) are in user32.h.
#pragma once

#include <optional>
#include <vector>

#include "platform/gdi/region.h"
#include "platform/ui/user32.h"

namespace ksv::platform::ui {

// Guarded by the table's lock, as every field of a window.
struct PaintState {
  gdi::Region update;                // client coordinates
  bool erase = false;                // WM_ERASEBKGND due at the next BeginPaint
  std::optional<gdi::Region> shape;  // window coordinates; none: its rectangle
};

// Whether a point of the window (its own coordinates) lies in its shape;
// true for a window without one.
bool ShapeContains(HWND window, int x, int y);
// The window's shape as rectangles; empty when it has none.
std::vector<RECT> ShapeRects(HWND window);

// DefWindowProcA's part: WM_PAINT validates the window (through
// BeginPaint and EndPaint when its top-level window has a surface: a window
// tree that never drew is not given one); WM_ERASEBKGND fills the client
// area with the class's background brush (1 when it did).
void DefaultPaint(HWND window);
LRESULT DefaultErase(HWND window, HDC dc);

// A window was shown, sized, moved or hidden, or a child of it went away:
// the parts of the screen it changes are painted again.
void RepaintShown(HWND window);
void RepaintParentArea(HWND parent, const RECT& rect);

}  // namespace ksv::platform::ui
