// A whole fix, as both exports run it: open the source, take its video
// from first frame to last with the sound of that stretch, rewrite it to
// the target, and say how it went as a FixResult.
#pragma once

#include <string>

#include "include/clipmend.h"

namespace ksv::avifix {

// Runs one fix (waiting for any other in the process to end). Exceptions
// pass through to the caller.
FixResult FixAvi(const std::string& source, const std::string& target, FixAVIProgress progress);

// FixAvi, with what it throws made into a result: out of memory
// FIXAVI_E_OUT_OF_MEMORY, a file-system error FIXAVI_E_DISK_FULL,
// anything else FIXAVI_E_FAILED.
FixResult FixAviCatching(const char* source, const char* target, FixAVIProgress progress);

}  // namespace ksv::avifix
