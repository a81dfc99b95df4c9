// The few Win32 calls the graph and its clock make on objects an
// application hands them: posting the event message to a window, and
// signalling the event and semaphore handles of clock requests and of the
// graph's event handle. Those belong to the windows and synchronisation
// layers, which this module does not link: it looks them up by name in the
// process at run time (dlsym), so whichever layer the application links
// answers, and a process without one simply has no such calls (each entry
// is then null and the caller reports the documented failure).
#pragma once

#include <cstdint>

#include "include/win32_types.h"

namespace ksv::media::graph {

struct Win32Calls {
  BOOL (*postMessage)(HWND window, UINT message, uintptr_t wParam, intptr_t lParam) = nullptr;
  void* (*createEvent)(void* attributes, BOOL manualReset, BOOL initialState,
                       const char* name) = nullptr;
  BOOL (*setEvent)(void* event) = nullptr;
  BOOL (*resetEvent)(void* event) = nullptr;
  BOOL (*closeHandle)(void* handle) = nullptr;
  BOOL (*releaseSemaphore)(void* semaphore, LONG count, LONG* previous) = nullptr;
};

// The calls as the process offers them now (looked up on every call: a
// layer may be loaded later than this module).
Win32Calls BoundWin32Calls();

}  // namespace ksv::media::graph
