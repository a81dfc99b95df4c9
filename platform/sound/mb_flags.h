// The MB_ flags that MessageBoxA (its icons) and MessageBeep (which sound)
// share.
#pragma once

#include "include/win32_types.h"

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONASTERISK = 0x40;
