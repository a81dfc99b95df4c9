// The presenter: shows top-level windows that have a surface (surface.h) on
// the screen, each in a window of the desktop of its size with the window's
// text as its title, and brings the keyboard and the close button back. A
// window without a caption is shown without a frame, one with
// WS_EX_TOPMOST above the others, and one shaped by SetWindowRgn in its
// shape where the desktop has shaped windows (else with the black outside
// the shape showing).
//
// With a display (KSV_HEADLESS unset or "0", a desktop session named by
// DISPLAY or WAYLAND_DISPLAY or a driver by SDL_VIDEODRIVER, and SDL2
// starting video on a driver that draws somewhere), every visible top-level window with a surface appears; it
// follows the Win32 window as it is shown, hidden, retitled, sized and
// destroyed, and shows its picture again each time the surface is
// presented. Keys pressed in it reach FeedKey (GetAsyncKeyState, and
// WM_KEYDOWN/WM_KEYUP for the focus window); closing it posts WM_CLOSE to
// the Win32 window. Without a display nothing runs: windows stay offscreen
// and everything else works as before (SaveSurfacePng shows what a window
// holds).
//
// One thread owns every SDL call. It starts with StartPresenter or on first
// need: a visible top-level window gets a surface, or a window with one is
// shown or drawn into. Once a start finds no display, it no longer starts by
// itself (until StartPresenter succeeds). It ends with StopPresenter or at
// the process's exit.
//
// SDL's "dummy" driver, asked for by name (SDL_VIDEODRIVER=dummy), counts as
// a display: tests use it to see the presenter work without a screen. The
// dummy and offscreen drivers are refused when SDL picks them by itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ui/user32.h"
#include "support/picture/picture.h"

namespace ksv::platform::ui {

// Starts the presenter if it is not running; true when it runs (a display
// was found). Any thread.
bool StartPresenter();
// Ends it: its screen windows close, its thread is joined. Any thread but
// the presenter's own (a pointer sink must not call it).
void StopPresenter();
bool PresenterRunning();

// Returns once the presenter has followed every window change made, and
// handled every SDL event queued, before the call. At once when it is not
// running.
void SyncPresenter();

// What the presenter shows for a window, as of its last update.
struct PresentedWindow {
  uint32_t screenId = 0;  // the SDL window's identifier
  std::string title;
  int width = 0;
  int height = 0;
  bool visible = false;
  uint64_t frames = 0;  // pictures put on screen so far
  int x = 0;  // where the screen window is on the desktop
  int y = 0;
};
// Null when it shows nothing for the window (or is not running).
std::optional<PresentedWindow> PresentedWindowOf(HWND window);
// The picture on screen for the window, read back from the screen window.
std::optional<picture::RgbPicture> PresentedPicture(HWND window);

// Where the pointer's moves and the mouse buttons pressed and released over
// a shown window go (client coordinates; button 1 left, 2 middle, 3 right;
// 0 for a move, with `down` false). Called on the presenter's thread: it
// must not block on the window's thread (post, don't send). By default
// (and after a null) moves and the left button go to the window under the
// pointer (or the one that captured the mouse) through the input seam
// (input.h). A top-level window the program moves (a drag by its body)
// moves on the desktop by as much.
using PointerSink = void (*)(HWND window, int x, int y, int button, bool down);
void SetPointerSink(PointerSink sink);

}  // namespace ksv::platform::ui
