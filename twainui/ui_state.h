// Which buttons the owner lets a person use, and the buttons' labels.
#pragma once

#include "twainui/window_context.h"

namespace ksv::twainui {

// Enables the buttons as UI state 0-5 has them (all enabled, then):
//   0 Transfer, TransferAll and the paging buttons disabled
//   1 SnapShot, Coloring, Transfer, TransferAll and Download disabled
//   2 none disabled; 3 all; 4 all but Exit
//   5 SnapShot, Coloring, Download and Save All, and Transfer and
//     TransferAll while there are no images
void ApplyUiState(KxTwnUiWindow& context, int state);

// The labels KXTWNUI_LocalizeBtnStr set for slots 0-6 (empty: the default).
const char* LabelSlot(int slot);
bool SetLabelSlot(int slot, const char* text);

}  // namespace ksv::twainui
