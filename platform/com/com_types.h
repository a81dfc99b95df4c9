// The basic types of COM's interfaces: wide strings are UTF-16 (char16_t),
// whatever the width of wchar_t.
#pragma once

#include <cstdint>

#include "include/win32_types.h"

typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef int16_t SHORT;
typedef int64_t LONGLONG;
typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
