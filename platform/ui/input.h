// A person's mouse and keyboard without a display: what the presenter feeds
// from its real window and what tests drive dialogs with. Everything is
// posted to the owning thread's queue as real input would be, so a window
// on another thread (a modal dialog's loop, say) takes it in order.
//
// Keys go to the window that has the focus when they are fed (as FeedKey
// does), so a driver on another thread waits for a focus move (Tab, a
// click) to be taken before it types on.
#pragma once

#include <string_view>

#include "platform/ui/user32.h"

namespace ksv::platform::ui::input {

// The window under a point of `topLevel`'s client area: the deepest
// visible, enabled child there that does not answer WM_NCHITTEST with
// HTTRANSPARENT (group boxes, plain statics), else `topLevel`; a window
// shaped by SetWindowRgn is hit only inside its shape. Null when the point
// is outside. `local` gets the point in that window's client area.
HWND WindowAt(HWND topLevel, int x, int y, POINT* local = nullptr);

// Keys held down while the mouse acts: they go down before it and up
// after it (FeedKey), and its messages carry MK_SHIFT and MK_CONTROL.
enum HeldKeys : unsigned { kNoKeys = 0, kShift = 1, kControl = 2 };

// The pointer moved to, the left button pressed at, released at, or
// double-clicked at a point of `topLevel`'s client area. Each message goes
// to the window that has captured the mouse (SetCapture), in its client
// coordinates wherever the point lies, else to the window under the point
// (WindowAt; nothing there: false). A double click is a press, a release,
// WM_LBUTTONDBLCLK (a press for a class without CS_DBLCLKS) and a release.
// Hit-testing asks the windows themselves (WM_NCHITTEST), so these run on
// their thread.
bool MoveAt(HWND topLevel, int x, int y, unsigned keys = kNoKeys);
bool PressAt(HWND topLevel, int x, int y, unsigned keys = kNoKeys);
bool ReleaseAt(HWND topLevel, int x, int y, unsigned keys = kNoKeys);
bool DoubleClickAt(HWND topLevel, int x, int y, unsigned keys = kNoKeys);

// The left button pressed (or released) at a point of `topLevel`, as
// PressAt and ReleaseAt.
bool ButtonAt(HWND topLevel, int x, int y, bool down);
// The same from any thread without waiting for the window's thread (the
// presenter's): posted to `topLevel`, and hit-tested and passed on to the
// window under the point when that thread dispatches it.
bool PostButtonAt(HWND topLevel, int x, int y, bool down);
// The pointer moved there, the same way (MoveAt when dispatched).
bool PostMoveAt(HWND topLevel, int x, int y);
// The message PostButtonAt and PostMoveAt post; DispatchMessageA hands it
// to ButtonAt (wParam 0 or 1) or MoveAt (wParam 2).
inline constexpr UINT kButtonAtMessage = 0x03F1;  // in the system's reserved range
inline constexpr WPARAM kMoveAtParam = 2;
// The left button pressed and released at a point of `topLevel`.
bool ClickAt(HWND topLevel, int x, int y, unsigned keys = kNoKeys);
// A click in the middle of `window` (through whatever lies on top of it).
bool Click(HWND window);
// The left button pressed at one point, moved to another and released
// there; all of it goes to the window under the first point (or the one
// with the capture), as a window that captures on a press would have it.
bool DragAt(HWND topLevel, int fromX, int fromY, int toX, int toY);
// Picks item `index` of a list box (a click on its row) or of a combo box
// (a click that opens the list, then the item).
bool ChooseItem(HWND listOrCombo, int index);

// A key pressed and released.
void PressKey(int virtualKey);
// A key pressed and released while `modifier` (VK_SHIFT, ...) is held.
void PressKeyWith(int modifier, int virtualKey);
// Each character typed: letters, digits and space as key presses (Shift for
// capitals), "\t", "\r" or "\n", "\b" and "\x1b" as Tab, Enter, Backspace
// and Escape, any other character as a WM_CHAR to the focus window.
void TypeText(std::string_view text);

}  // namespace ksv::platform::ui::input
