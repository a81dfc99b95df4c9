// The shell's item identifier lists as this system keeps them.
#pragma once

#include <string>

#include "platform/shell/shell.h"

namespace ksv::platform::shell {

// A list for `path` in task memory; null when memory runs out.
LPITEMIDLIST MakeItemList(const std::string& path);
std::string PathOf(LPCITEMIDLIST list);

}  // namespace ksv::platform::shell
