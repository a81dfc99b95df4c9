// Stand-in for the Win32 private-profile (INI) functions: text files of
// "[section]" lines and "key=value" lines. Sections and keys compare without
// regard to ASCII case; a value wholly in double quotes is read without them.
#pragma once

#include "include/win32_types.h"

extern "C" {

// Copies the value of `key` in `section` of `fileName` (else `defaultText`,
// else "") into `out` of `size` bytes, zero-terminated and cut to fit.
// Returns the characters copied, without the zero.
DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultText,
                               char* out, DWORD size, const char* fileName);

// The value as a decimal number, else `defaultValue`.
UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                           const char* fileName);

// Sets `key` in `section` to `value`, adding section and key when missing
// and creating the file. A null `value` removes the key, a null `key` the
// section. FALSE when the file cannot be written.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName);

}  // extern "C"
