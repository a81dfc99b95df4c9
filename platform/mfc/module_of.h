// The module of the library (or program) the framework's code is linked
// into: the shim is a static library, so its own code lies there too.
#pragma once

#include "platform/ui/user32.h"

namespace ksv::mfc {

// The module holding `address`: the program's own handle for the program,
// else the library's file registered as a module.
HINSTANCE ModuleHolding(const void* address);

}  // namespace ksv::mfc
