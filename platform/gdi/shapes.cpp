// Brushes, pens, system colours, and what is drawn with them: filled and
// framed rectangles, edges and lines.
#include <array>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/gdi/objects.h"
#include "platform/sync/sync.h"

namespace ksv::platform::gdi {
namespace {

// The platform's "Windows Standard" colour scheme, by COLOR_* index.
constexpr std::array<COLORREF, 25> kSystemColours = {
    RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128), RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(192, 192, 192), RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255),
    RGB(192, 192, 192), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(192, 192, 192), RGB(0, 0, 0),       RGB(255, 255, 225)};

bool IsSystemIndex(int index) { return index >= 0 && index < static_cast<int>(kSystemColours.size()); }

// A brush handle as the platform takes it: a brush, or a system colour
// index plus one (a window class's background).
std::optional<COLORREF> BrushColour(HBRUSH brush) {
  const auto value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= kSystemColours.size()) return kSystemColours[value - 1];
  if (const auto object = Get<BrushObject>(brush)) return object->colour;
  return std::nullopt;
}

bool Fill(HDC handle, const RECT& rect, COLORREF colour) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) return false;
  return DrawOn(*dc, [&](const PixelView& view, const Region& clip, POINT origin) {
    FillPixels(view, clip, RECT{rect.left + origin.x, rect.top + origin.y, rect.right + origin.x, rect.bottom + origin.y},
               colour);
  });
}

// One pixel wide: the top and left sides in `light`, bottom and right in `dark`.
void EdgeLine(HDC dc, const RECT& r, UINT flags, COLORREF light, COLORREF dark) {
  if (flags & BF_TOP) Fill(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, light);
  if (flags & BF_LEFT) Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, light);
  if (flags & BF_BOTTOM) Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
  if (flags & BF_RIGHT) Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
}

}  // namespace
}  // namespace ksv::platform::gdi

using namespace ksv::platform::gdi;

extern "C" {

HBRUSH CreateSolidBrush(COLORREF colour) { return ToHandle<HBRUSH>(NewObject(BrushObject{colour & 0xFFFFFF})); }

HPEN CreatePen(int style, int /*width*/, COLORREF colour) {
  if (style != PS_SOLID && style != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ToHandle<HPEN>(NewObject(PenObject{style, colour & 0xFFFFFF}));
}

DWORD GetSysColor(int index) { return IsSystemIndex(index) ? kSystemColours[static_cast<size_t>(index)] : 0; }

HBRUSH GetSysColorBrush(int index) {
  if (!IsSystemIndex(index)) return nullptr;
  static std::array<HBRUSH, kSystemColours.size()> brushes{};
  static std::once_flag made;
  std::call_once(made, [] {
    for (size_t i = 0; i < brushes.size(); ++i) {
      const uintptr_t handle = NewObject(BrushObject{kSystemColours[i]});
      MakeStock(handle);
      brushes[i] = ToHandle<HBRUSH>(handle);
    }
  });
  return brushes[static_cast<size_t>(index)];
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  const std::optional<COLORREF> colour = BrushColour(brush);
  if (rect == nullptr || !colour) return FALSE;
  return Fill(dc, *rect, *colour) ? TRUE : FALSE;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  const std::optional<COLORREF> colour = BrushColour(brush);
  if (rect == nullptr || !colour || Get<DcObject>(dc) == nullptr) return FALSE;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return TRUE;
  const RECT& r = *rect;
  Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, *colour);
  Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, *colour);
  Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, *colour);
  Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, *colour);
  return TRUE;
}

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  if (rect == nullptr || Get<DcObject>(dc) == nullptr) return FALSE;
  RECT r = *rect;
  // The outer line, then the inner one inside it.
  const UINT outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
  const UINT inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
  const auto shrink = [&] {
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  if (outer == BDR_RAISEDOUTER) EdgeLine(dc, r, flags, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
  if (outer == BDR_SUNKENOUTER) EdgeLine(dc, r, flags, GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHILIGHT));
  if (outer != 0) shrink();
  if (inner == BDR_RAISEDINNER) EdgeLine(dc, r, flags, GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DSHADOW));
  if (inner == BDR_SUNKENINNER) EdgeLine(dc, r, flags, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
  if (inner != 0) shrink();
  if (flags & BF_MIDDLE) Fill(dc, r, GetSysColor(COLOR_3DFACE));
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) return FALSE;
  if (previous != nullptr) *previous = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  const auto dc = Get<DcObject>(handle);
  if (dc == nullptr) return FALSE;
  const POINT from = dc->position;
  dc->position = POINT{x, y};
  if (dc->pen == nullptr || dc->pen->style == PS_NULL) return TRUE;
  // Bresenham's line, the end point left out.
  std::vector<RECT> dots;
  int px = from.x;
  int py = from.y;
  const int dx = std::abs(x - px);
  const int dy = -std::abs(y - py);
  const int sx = px < x ? 1 : -1;
  const int sy = py < y ? 1 : -1;
  for (int error = dx + dy; px != x || py != y;) {
    dots.push_back(RECT{px, py, px + 1, py + 1});
    const int twice = 2 * error;
    if (twice >= dy) { error += dy; px += sx; }
    if (twice <= dx) { error += dx; py += sy; }
  }
  const COLORREF colour = dc->pen->colour;
  DrawOn(*dc, [&](const PixelView& view, const Region& clip, POINT origin) {
    for (const RECT& dot : dots) {
      FillPixels(view, clip, RECT{dot.left + origin.x, dot.top + origin.y, dot.right + origin.x, dot.bottom + origin.y},
                 colour);
    }
  });
  return TRUE;
}

}  // extern "C"
