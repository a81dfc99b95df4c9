// "Button": push buttons, check boxes, radio buttons and group boxes. A
// click (the mouse pressed and released over it, Space pressed and released
// while it has the focus, or BM_CLICK) changes an automatic button's check
// and sends BN_CLICKED to the parent. Each draws itself: a raised face
// (sunken while pushed), a box with a tick, a round button with a dot, or
// a group's etched frame with its title.
#include <algorithm>

#include "platform/ui/controls/control_paint.h"
#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

struct ButtonState final : ControlState {
  LRESULT check = BST_UNCHECKED;
  bool pushed = false;
  bool focused = false;
};

DWORD TypeOf(HWND button) { return StyleOf(button) & BS_TYPEMASK; }

bool HasCheck(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
         type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
}

bool IsThreeState(DWORD type) { return type == BS_3STATE || type == BS_AUTO3STATE; }

// An automatic radio button checked by a person: the other automatic radio
// buttons of its group are unchecked.
void CheckInGroup(HWND button) {
  for (HWND other : GroupOf(button)) {
    if (other == button || TypeOf(other) != BS_AUTORADIOBUTTON) continue;
    if (auto state = StateOf<ButtonState>(other); state != nullptr && state->check != BST_UNCHECKED) {
      state->check = BST_UNCHECKED;
      Repaint(other);
    }
  }
}

void Clicked(HWND button, ButtonState& state) {
  Repaint(button);
  switch (TypeOf(button)) {
    case BS_GROUPBOX:
      return;
    case BS_AUTOCHECKBOX:
      state.check = state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      state.check = (state.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      state.check = BST_CHECKED;
      CheckInGroup(button);
      break;
    default:
      break;
  }
  NotifyParent(button, BN_CLICKED);
}

LRESULT DialogCode(HWND button) {
  switch (TypeOf(button)) {
    case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
  }
}

constexpr int kMarkSide = 13;  // a check box's box and a radio button's circle

// A disc of `diameter` pixels with its top left at (x, y), row by row.
void Disc(HDC dc, int x, int y, int diameter, int colourIndex) {
  const double radius = diameter / 2.0;
  for (int row = 0; row < diameter; ++row) {
    const double dy = row + 0.5 - radius;
    int half = 0;
    while (half < diameter && (half + 0.5) * (half + 0.5) + dy * dy <= radius * radius) ++half;
    const RECT span{x + static_cast<int>(radius) - half, y + row, x + static_cast<int>(radius) + half, y + row + 1};
    FillRect(dc, &span, GetSysColorBrush(colourIndex));
  }
}

void DrawPush(HDC dc, RECT client, const ButtonState& state, DWORD type, const std::string& text, bool enabled) {
  FillFace(dc, client);
  if (type == BS_DEFPUSHBUTTON) {
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWTEXT));
    client = RECT{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  }
  RECT edge = client;
  DrawEdge(dc, &edge, state.pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (state.pushed) client = RECT{client.left + 1, client.top + 1, client.right + 1, client.bottom + 1};
  Label(dc, text, client, DT_CENTER | DT_VCENTER | DT_SINGLELINE, enabled);
}

void DrawMarked(HDC dc, const RECT& client, const ButtonState& state, DWORD type, const std::string& text,
                bool enabled) {
  FillFace(dc, client);
  const int top = (client.bottom - kMarkSide) / 2;
  const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  const int mark = enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT;
  if (radio) {
    Disc(dc, 0, top, kMarkSide, COLOR_BTNSHADOW);
    Disc(dc, 1, top + 1, kMarkSide - 2, enabled && !state.pushed ? COLOR_WINDOW : COLOR_BTNFACE);
    if (state.check == BST_CHECKED) Disc(dc, 4, top + 4, kMarkSide - 8, mark);
  } else {
    RECT box{0, top, kMarkSide, top + kMarkSide};
    FillRect(dc, &box, GetSysColorBrush(enabled && !state.pushed ? COLOR_WINDOW : COLOR_BTNFACE));
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
    if (state.check != BST_UNCHECKED) {
      // A tick: down from the left, then up to the right, three pixels thick.
      const int markColour = state.check == BST_INDETERMINATE ? COLOR_GRAYTEXT : mark;
      for (int thick = 0; thick < 3; ++thick) {
        Line(dc, 3, top + 5 + thick, 5, top + 7 + thick, markColour);
        Line(dc, 5, top + 7 + thick, 10, top + 2 + thick, markColour);
      }
    }
  }
  RECT textRect{kMarkSide + 4, 0, client.right, client.bottom};
  Label(dc, text, textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE, enabled);
}

// The frame runs through the middle of the title's line; the title sits on
// the face colour over it. The inside is left to what lies there.
void DrawGroup(HDC dc, const RECT& client, HFONT font, const std::string& text, bool enabled) {
  const SIZE size = Measure(font, text);
  const int middle = std::max<int>(size.cy, 1) / 2;
  RECT frame{client.left, client.top + middle, client.right, client.bottom};
  DrawEdge(dc, &frame, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
  if (text.empty()) return;
  RECT title{8, 0, std::min<LONG>(client.right - 4, 8 + size.cx + 4), std::max<LONG>(size.cy, 1)};
  FillFace(dc, title);
  title.left += 2;
  Label(dc, text, title, DT_LEFT | DT_TOP | DT_SINGLELINE, enabled);
}

void Draw(HWND button, const ButtonState& state) {
  const DWORD type = TypeOf(button);
  const std::string text = TextOf(button);
  Paint(button, state.font, [&](HDC dc, const RECT& client, bool enabled) {
    if (type == BS_GROUPBOX) {
      DrawGroup(dc, client, state.font, text, enabled);
    } else if (HasCheck(type)) {
      DrawMarked(dc, client, state, type, text, enabled);
    } else if (type != BS_OWNERDRAW) {
      DrawPush(dc, client, state, type, text, enabled);
    }
  });
}

}  // namespace

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Attach(window, std::make_shared<ButtonState>());
  const std::shared_ptr<ButtonState> state = StateOf<ButtonState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const DWORD type = TypeOf(window);
  if (const auto common = CommonMessage(window, *state, message, wParam, lParam)) return *common;
  switch (message) {
    case WM_PAINT: Draw(window, *state); return 0;
    case WM_ERASEBKGND: return 1;  // WM_PAINT draws all of it
    case WM_GETDLGCODE: return DialogCode(window);
    case WM_NCHITTEST: return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case BM_GETCHECK: return HasCheck(type) ? state->check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (HasCheck(type)) {
        const auto check = static_cast<LRESULT>(wParam);
        state->check = check == BST_INDETERMINATE && !IsThreeState(type) ? BST_CHECKED : check & 3;
        Repaint(window);
      }
      return 0;
    case BM_GETSTATE:
      return (HasCheck(type) ? state->check : 0) | (state->pushed ? BST_PUSHED : 0) |
             (state->focused ? BST_FOCUS : 0);
    case BM_SETSTATE: state->pushed = wParam != 0; Repaint(window); return 0;
    case BM_SETSTYLE:
      SetStyle(window, (StyleOf(window) & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK));
      if (LOWORD(lParam) != 0) Repaint(window);
      return 0;
    case BM_CLICK:
      if (TakesInput(window)) Clicked(window, *state);
      return 0;
    case WM_LBUTTONDOWN:
      if (!TakesInput(window) || type == BS_GROUPBOX) return 0;
      SetFocus(window);
      state->pushed = true;
      Repaint(window);
      return 0;
    case WM_LBUTTONUP: {
      if (!state->pushed) return 0;
      state->pushed = false;
      const int x = PointX(lParam);
      const int y = PointY(lParam);
      if (x >= 0 && y >= 0 && x < Width(window) && y < Height(window)) Clicked(window, *state);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && TakesInput(window)) {
        state->pushed = true;
        Repaint(window);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && state->pushed) {
        state->pushed = false;
        Clicked(window, *state);
      }
      return 0;
    case WM_CHAR: return 0;
    case WM_SETFOCUS:
      state->focused = true;
      if ((StyleOf(window) & BS_NOTIFY) != 0) NotifyParent(window, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
      if (message == WM_KILLFOCUS) state->focused = false;
      if (state->pushed) Repaint(window);
      state->pushed = false;
      if (message == WM_KILLFOCUS && (StyleOf(window) & BS_NOTIFY) != 0) NotifyParent(window, BN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace ksv::platform::ui::controls
