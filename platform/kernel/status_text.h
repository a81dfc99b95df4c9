// Kernel status codes in words, for messages people read.
#pragma once

#include <string>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

// "0xC000000D (STATUS_INVALID_PARAMETER)" for a status with a known name,
// "0x12345678" for any other.
std::string StatusText(NTSTATUS status);

}  // namespace ksv::platform::kernel
