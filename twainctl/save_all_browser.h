// The folder Save All writes into, asked with the shell's folder browser.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/user32.h"

namespace ksv::twainctl {

// The browser, owned by `owner` with the prompt `title`, opened on
// `initial` (the browser's own start when empty), showing the selection as
// its status text and beeping at a typed name that is no folder. The chosen
// folder, or nothing when cancelled.
std::optional<std::string> BrowseForSaveFolder(HWND owner, const std::string& title, const std::string& initial);

}  // namespace ksv::twainctl
