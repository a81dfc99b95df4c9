// Stand-in for Win32 window handles. The libraries only store a window and
// hand it on; real windows come with the user-interface layers. A stand-in
// window is a distinct non-null handle that lives until destroyed.
#pragma once

#include "include/win32_types.h"

namespace ksv::platform {

// A new window handle, never null and never reused in the process.
HWND CreateStandInWindow();

}  // namespace ksv::platform

extern "C" {

// TRUE while `window` is a live window.
BOOL IsWindow(HWND window);
// Ends the window; FALSE when it is not a live window.
BOOL DestroyWindow(HWND window);

}  // extern "C"
