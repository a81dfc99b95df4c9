// "Button": push buttons, check boxes, radio buttons and group boxes. A
// click (the mouse pressed and released over it, Space pressed and released
// while it has the focus, or BM_CLICK) changes an automatic button's check
// and sends BN_CLICKED to the parent.
#include "platform/ui/controls/control_support.h"

namespace ksv::platform::ui::controls {
namespace {

struct ButtonState final : WindowAttachment {
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
    if (auto state = StateOf<ButtonState>(other)) state->check = BST_UNCHECKED;
  }
}

void Clicked(HWND button, ButtonState& state) {
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

}  // namespace

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) Attach(window, std::make_shared<ButtonState>());
  const std::shared_ptr<ButtonState> state = StateOf<ButtonState>(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const DWORD type = TypeOf(window);
  switch (message) {
    case WM_GETDLGCODE: return DialogCode(window);
    case WM_NCHITTEST: return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case BM_GETCHECK: return HasCheck(type) ? state->check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (HasCheck(type)) {
        const auto check = static_cast<LRESULT>(wParam);
        state->check = check == BST_INDETERMINATE && !IsThreeState(type) ? BST_CHECKED : check & 3;
      }
      return 0;
    case BM_GETSTATE:
      return (HasCheck(type) ? state->check : 0) | (state->pushed ? BST_PUSHED : 0) |
             (state->focused ? BST_FOCUS : 0);
    case BM_SETSTATE: state->pushed = wParam != 0; return 0;
    case BM_SETSTYLE: SetStyle(window, (StyleOf(window) & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK)); return 0;
    case BM_CLICK:
      if (TakesInput(window)) Clicked(window, *state);
      return 0;
    case WM_LBUTTONDOWN:
      if (!TakesInput(window) || type == BS_GROUPBOX) return 0;
      SetFocus(window);
      state->pushed = true;
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
      if (wParam == VK_SPACE && TakesInput(window)) state->pushed = true;
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
      state->pushed = false;
      if (message == WM_KILLFOCUS && (StyleOf(window) & BS_NOTIFY) != 0) NotifyParent(window, BN_KILLFOCUS);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace ksv::platform::ui::controls
