// The controls' drawing and the messages they answer alike.
#include "platform/ui/controls/control_paint.h"

#include <cstring>
#include <mutex>

#include "platform/ui/controls/control_support.h"
#include "platform/ui/surface.h"

namespace ksv::platform::ui::controls {
namespace {

bool TopHasSurface(HWND control) {
  HWND top = control;
  while ((GetWindowLongA(top, GWL_STYLE) & WS_CHILD) != 0 && GetParent(top) != nullptr) top = GetParent(top);
  return SurfaceOf(top) != nullptr;
}

}  // namespace

std::optional<LRESULT> CommonMessage(HWND control, ControlState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0) Repaint(control);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state.font);
    case WM_ENABLE: Repaint(control); return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(control, message, wParam, lParam);
      Repaint(control);
      return result;
    }
    default: return std::nullopt;
  }
}

bool MayChangeLook(UINT message) {
  switch (message) {
    case WM_SETTEXT: case WM_KEYDOWN: case WM_KEYUP: case WM_CHAR: case WM_LBUTTONDOWN: case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_MOUSEMOVE: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_CANCELMODE:
    case kChooseItemMessage:
      return true;
    default:
      // The edit, list box, combo box and trackbar messages.
      return (message >= 0x00B0 && message < 0x00E0) || (message >= 0x0140 && message < 0x01B0) ||
             (message >= WM_USER && message < WM_USER + 0x100);
  }
}

HFONT DialogFont() {
  static const HFONT font = [] {
    LOGFONTA description{};
    description.lfHeight = -11;
    description.lfWeight = 400;
    std::strncpy(description.lfFaceName, "MS Sans Serif", LF_FACESIZE - 1);
    return CreateFontIndirectA(&description);
  }();
  return font;
}

void Repaint(HWND control) { InvalidateRect(control, nullptr, TRUE); }

void Paint(HWND control, HFONT font, const std::function<void(HDC dc, const RECT& client, bool enabled)>& draw) {
  if (!TopHasSurface(control)) {
    DefWindowProcA(control, WM_PAINT, 0, 0);  // validates without drawing
    return;
  }
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(control, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(control, &client);
  const HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : DialogFont());
  SetBkMode(dc, TRANSPARENT);
  // Grey by its own state only: a window disabled under a modal dialog
  // keeps its controls' looks.
  draw(dc, client, IsWindowEnabled(control) != FALSE);
  SelectObject(dc, previous);
  EndPaint(control, &paint);
}

void FillFace(HDC dc, const RECT& rect) { FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE)); }

void FillWindow(HDC dc, const RECT& rect) { FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW)); }

void Line(HDC dc, int x0, int y0, int x1, int y1, int colourIndex) {
  const HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colourIndex));
  const HGDIOBJ previous = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, previous);
  DeleteObject(pen);
}

void Label(HDC dc, const std::string& text, RECT rect, UINT format, bool enabled) {
  if (text.empty()) return;
  SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

SIZE Measure(HFONT font, const std::string& text) {
  SIZE size{};
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return size;
  SelectObject(dc, font != nullptr ? font : DialogFont());
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  DeleteDC(dc);
  return size;
}

std::string TextOf(HWND control) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace ksv::platform::ui::controls
