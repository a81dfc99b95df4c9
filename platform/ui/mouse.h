// The pointer, the capture and the window move a caption press starts.
// Internal to the user-interface stand-in.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/window.h"

namespace ksv::platform::ui {

// Where the pointer is, in screen coordinates; every message posted is
// stamped with it (MSG::pt).
POINT PointerPosition();
void MovePointer(POINT screen);

// The calling thread takes a mouse message: its view of the keys
// (GetKeyState) follows the flags the message carries, and GetMessagePos
// the message's point.
void NoteMouseMessage(const MSG& message);

// Drops the capture when it is on one of `windows` (they are being destroyed).
void ForgetCapture(const std::vector<std::shared_ptr<Window>>& windows);

// DefWindowProcA's answer to WM_NCLBUTTONDOWN on the caption: the window
// follows the pointer (its mouse messages, taken from the thread's queue)
// until the left button is released. Other messages are dispatched meanwhile.
void FollowPointerUntilRelease(HWND window);

}  // namespace ksv::platform::ui
