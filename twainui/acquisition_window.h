// The acquisition window itself: made from dialog 129 and laid out, turning
// the mouse, the buttons and its tick into events.
#pragma once

#include "twainui/window_context.h"

namespace ksv::twainui {

// Makes the window of the current context (hidden); false when it cannot.
bool CreateAcquisitionWindow(KxTwnUiWindow& context);
// Destroys it and frees everything it holds but the context.
void DestroyAcquisitionWindow(KxTwnUiWindow& context);

}  // namespace ksv::twainui
