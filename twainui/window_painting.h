// Painting the window: its background, the logo through its mask, the
// thumbnail grid and the tooltip strip.
#pragma once

#include "twainui/window_context.h"

namespace ksv::twainui {

// Answers WM_PAINT.
void PaintWindow(KxTwnUiWindow& context);
// Draws the grid again (through WM_PAINT), and the tooltip strip at once.
void RedrawGrid(KxTwnUiWindow& context);
void RedrawTooltip(KxTwnUiWindow& context);

}  // namespace ksv::twainui
