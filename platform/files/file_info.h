// What the file calls report of a file: its times as FILETIMEs and a
// search's record of it.
#pragma once

#include <sys/stat.h>

#include <ctime>

#include "platform/files/files.h"

namespace ksv::platform::files {

// A time since 1970 as a FILETIME (since 1601).
FILETIME ToFileTime(const timespec& time);
void FillFindData(const char* name, const struct stat& status, WIN32_FIND_DATAA* found);

}  // namespace ksv::platform::files
