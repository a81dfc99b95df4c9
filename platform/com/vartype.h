// The type tags of VARIANT and SAFEARRAY values, with their documented
// numbers.
#pragma once

#include <cstdint>

typedef uint16_t VARTYPE;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
