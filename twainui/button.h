// The window's buttons: "FLATBTN3 Class" (a copy of the background under
// it, an image through its mask, a label, a raised edge while the pointer is
// over it, a sunken one while pressed) and "DRAWBTN2 Class" (a normal,
// pointer-over and pressed bitmap). Both tell their parent through
// WM_COMMAND with the button's command: notification 1 when the pointer
// enters (the button captures the mouse), 2 when it leaves, 0 for a click
// (a release inside). A disabled button ignores the mouse.
#pragma once

#include <string>

#include "platform/ui/user32.h"
#include "twainui/layout.h"

namespace ksv::twainui {

inline constexpr WORD kEntered = 1;
inline constexpr WORD kLeft = 2;
inline constexpr WORD kClicked = 0;

struct Button {
  HWND window = nullptr;
  bool drawn = false;  // DRAWBTN2: three bitmaps
  // FLATBTN3: its piece of the background, image, mask, disabled image, label.
  HBITMAP background = nullptr;
  HBITMAP image = nullptr;
  HBITMAP mask = nullptr;
  HBITMAP disabled = nullptr;
  std::string label;
  HFONT font = nullptr;  // the window's
  // DRAWBTN2.
  HBITMAP normal = nullptr;
  HBITMAP over = nullptr;
  HBITMAP pressed = nullptr;
  HCURSOR cursor = nullptr;  // null: the cursor stays as it is
  bool inside = false;       // the pointer is over it (it has the capture)
  bool down = false;         // the left button is held on it
};

// Registers both classes for the module (once per process).
bool RegisterButtonClasses(HINSTANCE instance);

// Makes a labelled or paging button over `rect` of `background`.
bool CreateFlatButton(Button& button, HWND parent, HINSTANCE instance, const RECT& rect, const ButtonArt& art,
                      const std::string& label, HBITMAP background, HFONT font);
// Makes a camera-download button.
bool CreateDrawnButton(Button& button, HWND parent, HINSTANCE instance, const RECT& rect,
                       const DrawnButtonArt& art);
// Deletes the button's bitmaps (its window goes with its parent).
void ReleaseButton(Button& button);

}  // namespace ksv::twainui
