// Clearing the still-image service's picture folders of what an earlier
// session left.
#pragma once

#include <string>

namespace ksv::wiadl {

// In each folder directly in `root` (links are not followed): deletes the
// files whose extension (with its dot) is `extension`, compared without
// case; then, when no ".bmp" file is left there, deletes its other files
// and removes the folder. Files directly in `root` stay.
void CleanFolder(const std::string& root, const std::string& extension);

}  // namespace ksv::wiadl
