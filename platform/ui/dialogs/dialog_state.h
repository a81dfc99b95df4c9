// What the dialog manager keeps per dialog beside its window bytes: whether
// and how it ended, and its default button. Kept in a table of its own (the
// window's attachment belongs to whoever draws top-level windows).
#pragma once

#include <atomic>
#include <memory>

#include "platform/ui/dialogs/dialogs.h"

namespace ksv::platform::ui::dialogs {

struct DialogState {
  std::atomic<bool> ended{false};
  std::atomic<INT_PTR> result{0};
  int defaultId = 0;  // 0: the BS_DEFPUSHBUTTON control's, if any
};

std::shared_ptr<DialogState> AddDialog(HWND dialog);
std::shared_ptr<DialogState> DialogOf(HWND dialog);
void RemoveDialog(HWND dialog);

void RegisterDialogClass();

// Gives `control` the focus as the keyboard does, selecting all of an edit's text.
void FocusControl(HWND control);

}  // namespace ksv::platform::ui::dialogs
