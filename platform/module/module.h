// Stand-in for Win32 module handles. On Windows a handle names a loaded
// executable or library and GetModuleFileNameA gives its file. Here a module
// is registered under the file it stands for; the executable of the process
// is always known.
#pragma once

#include <string_view>

// The C declarations programs see; the compiler checks they match these.
#include "include/win32_calls.h"
#include "include/win32_types.h"

extern "C" {

// The handle of the process's executable for a null `name`; otherwise the
// module registered under a file whose base name is `name` (compared without
// regard to ASCII case), or null.
HMODULE GetModuleHandleA(const char* name);

// Copies the full path of `module`'s file (null: the executable) into
// `buffer` of `size` bytes, zero-terminated. Returns the number of
// characters copied, without the zero; 0 for an unknown handle or a
// zero-sized buffer. A path that does not fit is cut to size - 1 characters
// and `size` is returned, as on Windows XP.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

}  // extern "C"

namespace ksv::platform {

// Registers a library of the system under its file name (as "OKSV1API.DLL"):
// the system keeps its libraries in its system folder, so the module's file
// is `fileName` in $KSV_ROOT/system32 (the root as it is when asked), never
// the installed, read-only file. The same name gives the same handle.
HMODULE RegisterSystemModule(std::string_view fileName);

// Registers a module for the library or plug-in file at `path` (absolute or
// relative to the current folder; the file need not exist) and returns its
// handle; the same path gives the same handle. Null for an empty path.
HMODULE RegisterModule(std::string_view path);

}  // namespace ksv::platform
