// "msctls_trackbar32": a slider over a range. A person moves it with the
// arrow keys (a line), Page Up/Down or a click beside the thumb (a page),
// Home/End, or by dragging the thumb; each move sends WM_HSCROLL
// (WM_VSCROLL with TBS_VERT) to the parent, and TB_ENDTRACK when the key or
// the button is released. A program's TBM_SETPOS sends nothing.
#include <algorithm>
#include <utility>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

constexpr int kThumbHalfWidth = 5;

struct TrackbarState final : ControlState {
  LONG minimum = 0;
  LONG maximum = 100;
  LONG position = 0;
  LONG line = 1;
  LONG page = 20;
  bool dragging = false;
  bool moving = false;  // a key or button has moved it since the last TB_ENDTRACK
};

bool Vertical(HWND trackbar) { return (StyleOf(trackbar) & TBS_VERT) != 0; }
UINT ScrollMessage(HWND trackbar) { return Vertical(trackbar) ? WM_VSCROLL : WM_HSCROLL; }
int Length(HWND trackbar) { return std::max(2, Vertical(trackbar) ? Height(trackbar) : Width(trackbar)); }

int PixelOf(HWND trackbar, const TrackbarState& state) {
  const LONG span = state.maximum - state.minimum;
  if (span <= 0) return 0;
  return static_cast<int>(static_cast<int64_t>(state.position - state.minimum) * (Length(trackbar) - 1) / span);
}

LONG PositionAt(HWND trackbar, const TrackbarState& state, int pixel) {
  const int64_t span = state.maximum - state.minimum;
  const int64_t last = Length(trackbar) - 1;
  pixel = std::clamp(pixel, 0, static_cast<int>(last));
  return static_cast<LONG>(state.minimum + (pixel * span + last / 2) / last);
}

void SetPosition(TrackbarState& state, LONG position) {
  state.position = std::clamp(position, state.minimum, std::max(state.minimum, state.maximum));
}

void Move(HWND trackbar, TrackbarState& state, LONG position, WORD code) {
  SetPosition(state, position);
  state.moving = true;
  const bool thumb = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
  ScrollParent(trackbar, ScrollMessage(trackbar), code, thumb ? static_cast<WORD>(state.position) : 0);
}

void EndTrack(HWND trackbar, TrackbarState& state) {
  if (!state.moving) return;
  state.moving = false;
  ScrollParent(trackbar, ScrollMessage(trackbar), TB_ENDTRACK, 0);
}

void KeyDown(HWND trackbar, TrackbarState& state, WPARAM key) {
  switch (key) {
    case VK_RIGHT:
    case VK_DOWN: Move(trackbar, state, state.position + state.line, TB_LINEDOWN); break;
    case VK_LEFT:
    case VK_UP: Move(trackbar, state, state.position - state.line, TB_LINEUP); break;
    case VK_NEXT: Move(trackbar, state, state.position + state.page, TB_PAGEDOWN); break;
    case VK_PRIOR: Move(trackbar, state, state.position - state.page, TB_PAGEUP); break;
    case VK_HOME: Move(trackbar, state, state.minimum, TB_TOP); break;
    case VK_END: Move(trackbar, state, state.maximum, TB_BOTTOM); break;
    default: break;
  }
}

LRESULT Mouse(HWND trackbar, TrackbarState& state, UINT message, LPARAM lParam) {
  const int pixel = Vertical(trackbar) ? PointY(lParam) : PointX(lParam);
  switch (message) {
    case WM_LBUTTONDOWN: {
      if (!TakesInput(trackbar)) return 0;
      SetFocus(trackbar);
      const int thumb = PixelOf(trackbar, state);
      if (pixel >= thumb - kThumbHalfWidth && pixel <= thumb + kThumbHalfWidth) {
        state.dragging = true;
        SetCapture(trackbar);  // the thumb follows the pointer off the bar too
      } else if (pixel < thumb) {
        Move(trackbar, state, state.position - state.page, TB_PAGEUP);
      } else {
        Move(trackbar, state, state.position + state.page, TB_PAGEDOWN);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state.dragging) Move(trackbar, state, PositionAt(trackbar, state, pixel), TB_THUMBTRACK);
      return 0;
    case WM_LBUTTONUP:
      if (state.dragging) {
        state.dragging = false;
        if (GetCapture() == trackbar) ReleaseCapture();
        Move(trackbar, state, PositionAt(trackbar, state, pixel), TB_THUMBPOSITION);
      }
      EndTrack(trackbar, state);
      return 0;
    default: return 0;
  }
}

LRESULT TrackbarMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Attach(window, std::make_shared<TrackbarState>());
  const std::shared_ptr<TrackbarState> state = StateOf<TrackbarState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case TBM_GETPOS: return state->position;
    case TBM_GETRANGEMIN: return state->minimum;
    case TBM_GETRANGEMAX: return state->maximum;
    case TBM_SETPOS: SetPosition(*state, static_cast<LONG>(lParam)); return 0;
    case TBM_SETRANGE:
      state->minimum = static_cast<SHORT>(LOWORD(lParam));
      state->maximum = static_cast<SHORT>(HIWORD(lParam));
      SetPosition(*state, state->position);
      return 0;
    case TBM_SETRANGEMIN: state->minimum = static_cast<LONG>(lParam); SetPosition(*state, state->position); return 0;
    case TBM_SETRANGEMAX: state->maximum = static_cast<LONG>(lParam); SetPosition(*state, state->position); return 0;
    case TBM_SETPAGESIZE: return std::exchange(state->page, static_cast<LONG>(lParam));
    case TBM_GETPAGESIZE: return state->page;
    case TBM_SETLINESIZE: return std::exchange(state->line, static_cast<LONG>(lParam));
    case TBM_GETLINESIZE: return state->line;
    case WM_KEYDOWN:
      if (TakesInput(window)) KeyDown(window, *state, wParam);
      return 0;
    case WM_KEYUP: EndTrack(window, *state); return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      return Mouse(window, *state, message, lParam);
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      if (state->dragging && GetCapture() == window) ReleaseCapture();
      state->dragging = false;
      EndTrack(window, *state);
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The channel across the middle and the thumb over it at the position;
// the thumb is drawn flat in the shadow colour while disabled.
void DrawTrackbar(HWND trackbar, const TrackbarState& state) {
  const bool vertical = Vertical(trackbar);
  const int at = PixelOf(trackbar, state);
  Paint(trackbar, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    FillFace(dc, client);
    const int middle = (vertical ? client.right : client.bottom) / 2;
    const int length = vertical ? client.bottom : client.right;
    RECT channel = vertical ? RECT{middle - 2, 0, middle + 2, length} : RECT{0, middle - 2, length, middle + 2};
    DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT);
    const int start = std::clamp(at - kThumbHalfWidth, 0, std::max(0, length - 2 * kThumbHalfWidth - 1));
    RECT thumb = vertical ? RECT{middle - 8, start, middle + 8, start + 2 * kThumbHalfWidth + 1}
                          : RECT{start, middle - 8, start + 2 * kThumbHalfWidth + 1, middle + 8};
    FillRect(dc, &thumb, GetSysColorBrush(enabled ? COLOR_BTNFACE : COLOR_BTNSHADOW));
    if (enabled) DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  });
}

}  // namespace

LRESULT TrackbarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Painted<TrackbarState>(window, message, wParam, lParam, TrackbarMessage, DrawTrackbar);
}

}  // namespace ksv::platform::ui::controls
