// What the presenter and the tests call that Win32 has no call for: the
// keyboard as they drive it, and a window for a library that only needs a
// handle to hand on.
#pragma once

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

}  // namespace ksv::platform::ui
