#include "twainui/ui_state.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

namespace ksv::twainui {

namespace {

std::string labels[kButtonCount];  // what KXTWNUI_LocalizeBtnStr set

}  // namespace

void ApplyUiState(KxTwnUiWindow& context, int state) {
  context.uiState = state;
  bool enabled[kButtonCount + 2];
  std::fill(std::begin(enabled), std::end(enabled), true);
  constexpr int kDownload = kButtonCount;
  constexpr int kSaveAll = kButtonCount + 1;
  const auto disable = [&](std::initializer_list<int> which) {
    for (const int i : which) enabled[i] = false;
  };
  switch (state) {
    case 0: disable({kTransfer, kTransferAll, kPageBack, kPageForward}); break;
    case 1: disable({kSnapShot, kColoring, kTransfer, kTransferAll, kDownload}); break;
    case 3: std::fill(std::begin(enabled), std::end(enabled), false); break;
    case 4:
      std::fill(std::begin(enabled), std::end(enabled), false);
      enabled[kExit] = true;
      break;
    case 5:
      disable({kSnapShot, kColoring, kDownload, kSaveAll});
      if (context.grid.images.empty()) disable({kTransfer, kTransferAll});
      break;
    default: break;
  }
  for (int i = 0; i < kButtonCount; ++i) {
    if (context.buttons[static_cast<size_t>(i)].window != nullptr) {
      EnableWindow(context.buttons[static_cast<size_t>(i)].window, enabled[i]);
    }
  }
  if (context.download.window != nullptr) EnableWindow(context.download.window, enabled[kDownload]);
  if (context.saveAll.window != nullptr) EnableWindow(context.saveAll.window, enabled[kSaveAll]);
}

const char* LabelSlot(int slot) { return labels[slot].c_str(); }

bool SetLabelSlot(int slot, const char* text) {
  if (slot < 0 || slot >= kButtonCount) return false;
  const char* value = text == nullptr ? "" : text;
  if (std::strlen(value) >= KXTWNUI_LABEL_BYTES) return false;
  labels[slot] = value;
  return true;
}

}  // namespace ksv::twainui
