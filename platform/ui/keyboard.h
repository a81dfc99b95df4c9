// The keyboard's state and the window keys go to.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/window.h"

namespace ksv::platform::ui {

// The calling thread takes a key message from its queue: its own view of
// the keyboard (GetKeyState, TranslateMessage) follows the messages it has
// taken rather than the keys as they are now. A mouse message's flags
// (MK_LBUTTON, MK_SHIFT, MK_CONTROL) count as the state of those keys.
void NoteKeyMessage(const MSG& message);

// Whether the key is down now (GetAsyncKeyState's high bit, without
// touching its "pressed since" bit): what a mouse message's MK_SHIFT and
// MK_CONTROL say.
bool KeyIsDown(int virtualKey);

// Drops the focus when it is on one of `windows` (they are being destroyed).
void ForgetFocus(const std::vector<std::shared_ptr<Window>>& windows);

}  // namespace ksv::platform::ui
