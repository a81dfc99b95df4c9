// What the presenter and the tests call that Win32 has no call for: the
// keyboard as they drive it, and a window for a library that only needs a
// handle to hand on.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ui/user32.h"

namespace ksv::platform::ui {

// A key goes down or up. GetAsyncKeyState sees it at once (a press sets its
// "pressed since the last call" bit); the focus window, if there is one, is
// posted WM_KEYDOWN or WM_KEYUP with the key and the platform's lParam
// (repeat count 1, previous state in bit 30, transition in bit 31).
void FeedKey(int virtualKey, bool down);

// A message-only window of a plain class (the default procedure), owned by
// the calling thread; that thread ends it with DestroyWindow.
HWND CreateMessageOnlyWindow();

// The size of the display windows are shown on (the presenter tells it when
// it starts on one; 0 x 0 forgets it): GetSystemMetrics answers from it.
void SetDisplaySize(int width, int height);

// What a cursor handle shows, for the presenter: a system cursor by its
// IDC_* number, or a module's cursor as a picture (the first image of its
// resource: rows top-down, 0xAARRGGBB, clear where the screen shows
// through) with its hot spot. Nothing for a handle LoadCursorA did not give.
struct CursorPicture {
  int systemId = 0;  // IDC_* for a system cursor, else 0
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<uint32_t> argb;
};
std::optional<CursorPicture> DescribeCursor(HCURSOR cursor);

}  // namespace ksv::platform::ui
