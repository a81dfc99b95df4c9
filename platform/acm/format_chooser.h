// Who picks a format in acmFormatChooseA's dialog (msacm.h), set per
// process. The chooser is called on the dialog's thread once the dialog's
// own loop runs, with the dialog; it may feed it input (platform/ui/input.h:
// choose a list item, press Enter or Escape, click OK), post it messages,
// or return at once and leave the dialog to a person at the screen or to
// another thread. The dialog runs until it is ended, so a chooser that
// leaves it must be sure someone ends it.
#pragma once

#include <functional>

#include "platform/ui/user32.h"

namespace ksv::platform::acm {

using FormatChooser = std::function<void(HWND dialog)>;

// Sets the chooser (an empty one: nobody chooses, the dialog is not shown
// and acmFormatChooseA reports ACMERR_CANCELED). Returns the one it
// replaces.
FormatChooser SetFormatChooser(FormatChooser chooser);

// A chooser that leaves the dialog to a person (a program with a screen).
void LeaveToPerson(HWND dialog);

// The dialog's controls.
inline constexpr int kFormatListId = 101;  // list box, one row a format

}  // namespace ksv::platform::acm
