// The acquisition window itself: made from dialog 129, laid out, drawn,
// and turning the mouse, the buttons and its tick into events.
#pragma once

#include "twainui/window_context.h"

namespace ksv::twainui {

// Makes the window of the current context (hidden); false when it cannot.
bool CreateAcquisitionWindow(KxTwnUiWindow& context);
// Destroys it and frees everything it holds but the context.
void DestroyAcquisitionWindow(KxTwnUiWindow& context);

// Enables the buttons as UI state 0-5 has them.
void ApplyUiState(KxTwnUiWindow& context, int state);
// Draws the grid again, and the tooltip strip.
void RedrawGrid(KxTwnUiWindow& context);
void RedrawTooltip(KxTwnUiWindow& context);

// The labels KXTWNUI_LocalizeBtnStr set (empty: the default).
const char* LabelSlot(int slot);
bool SetLabelSlot(int slot, const char* text);

}  // namespace ksv::twainui
