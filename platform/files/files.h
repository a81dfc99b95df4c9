// Stand-ins for the Win32 file services the libraries call beyond plain
// file access: temporary file names and free disk space.
#pragma once

#include <cstdint>

#include "include/win32_types.h"

extern "C" {

// Makes a temporary file name in folder `path`: the folder, up to three
// characters of `prefix`, a hexadecimal number and ".TMP", written to
// `tempFileName` (at least 260 bytes). With `unique` 0 the number is chosen
// so that no such file exists, and the file is created empty to claim it;
// otherwise `unique` is used as given and nothing is created. Returns the
// number used, 0 on failure (no such folder, no name left, name too long).
UINT GetTempFileNameA(const char* path, const char* prefix, UINT unique, char* tempFileName);

// The space of the file system holding `directory` (an existing file or
// folder; null: the current folder): bytes free to this caller, total bytes
// and bytes free in all. Each out pointer may be null. FALSE when the
// folder cannot be examined.
BOOL GetDiskFreeSpaceExA(const char* directory, uint64_t* freeBytesAvailable,
                         uint64_t* totalBytes, uint64_t* totalFreeBytes);

}  // extern "C"
