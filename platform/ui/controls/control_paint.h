// How the standard controls draw through the drawing layer, and the
// messages every control answers alike: WM_SETFONT and WM_GETFONT (the
// font it draws its text with), WM_ENABLE (a disabled control draws its
// text grey; TakesInput keeps it from a person's input) and WM_SETTEXT
// (drawn again).
//
// A control paints only when its top-level window has a surface (one a
// presenter shows or a test saves), as DefWindowProcA does: a window tree
// that never drew is not given one.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/ui/controls/control_support.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui::controls {

// What every control keeps besides its own state.
struct ControlState : WindowAttachment {
  HFONT font = nullptr;  // WM_SETFONT's; null: the dialog font
};

// WM_SETFONT, WM_GETFONT, WM_ENABLE and WM_SETTEXT for a control whose
// state derives from ControlState; nothing for any other message.
std::optional<LRESULT> CommonMessage(HWND control, ControlState& state, UINT message, WPARAM wParam, LPARAM lParam);

// Marks the whole control for painting again.
void Repaint(HWND control);

// Whether a message may change what a control shows (typing, clicks,
// focus, text, and the class's own messages), so it is painted again.
bool MayChangeLook(UINT message);

// A control procedure `inner` with painting around it: WM_PAINT goes to
// `draw`(control, state), the common messages are answered, and the
// control is painted again after each message that may change it.
template <class State, class Draw>
LRESULT Painted(HWND control, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC inner, Draw draw) {
  if (message != WM_NCCREATE && message != WM_SETTEXT) {
    if (const std::shared_ptr<State> state = StateOf<State>(control)) {
      if (message == WM_PAINT) {
        draw(control, *state);
        return 0;
      }
      if (message == WM_ERASEBKGND) return 1;  // WM_PAINT draws all of it
      if (const auto common = CommonMessage(control, *state, message, wParam, lParam)) return *common;
    }
  }
  const LRESULT result = inner(control, message, wParam, lParam);
  if (MayChangeLook(message)) Repaint(control);
  return result;
}

// The font of dialogs ("MS Sans Serif" 8 points, 11 pixels high), made
// once per process.
HFONT DialogFont();

// Paints the control: `draw` gets a DC with its font selected, its client
// rectangle and whether it is enabled itself (the windows above it may
// not be: a disabled owner's controls are not drawn grey).
void Paint(HWND control, HFONT font, const std::function<void(HDC dc, const RECT& client, bool enabled)>& draw);

// Drawing pieces the controls share.
void FillFace(HDC dc, const RECT& rect);                      // the 3-D face colour
void FillWindow(HDC dc, const RECT& rect);                    // the white of edits and lists
void Line(HDC dc, int x0, int y0, int x1, int y1, int colourIndex);
// Text in `rect` with DrawTextA's `format`, black (grey when disabled) on
// whatever is there.
void Label(HDC dc, const std::string& text, RECT rect, UINT format, bool enabled);
// The text's size in the control's font.
SIZE Measure(HFONT font, const std::string& text);
std::string TextOf(HWND control);

}  // namespace ksv::platform::ui::controls
