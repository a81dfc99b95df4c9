// The scanner-interface host's dialog: the three pages in a property sheet
// made a child of a dialog of its own and moved onto the frame that marks
// its place, shown modally. The sheet's OK or Cancel closes the dialog.
#pragma once

#include <cstdint>

#include "pages/property_calls.h"

namespace ksv::pages {

// What KXDSEXPG_Open does, with the property calls given: 1 once the dialog
// was shown and closed, 0 when the camera or the pages cannot be had
// (nothing shown). The localization file is `localizationName` in the
// system folder.
int32_t OpenSettingsDialog(const char* deviceName, const char* vidPid, const char* localizationName,
                           const PropertyCalls& calls);

}  // namespace ksv::pages
