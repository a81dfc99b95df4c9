// Which threads may use COM. A thread joins an apartment with
// CoInitializeEx and leaves it with one CoUninitialize per successful call:
// the first call gives S_OK, later ones S_FALSE, and a call asking for the
// other model RPC_E_CHANGED_MODE (the thread keeps its model). While any
// thread of the process is in the multithreaded apartment, threads that
// never initialised belong to it implicitly, as the platform documents.
//
// We do not marshal between apartments: objects are called directly from
// any thread, so every object of ours is written to be thread-safe.
#pragma once

#include "include/win32_types.h"
#include "platform/com/hresult.h"

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
inline constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

/* `reserved` must be null (E_INVALIDARG otherwise). */
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
/* CoInitializeEx with COINIT_APARTMENTTHREADED. */
HRESULT CoInitialize(void* reserved);
/* Undoes one successful CoInitializeEx of the calling thread; extra calls
 * are ignored. */
void CoUninitialize();

namespace ksv::com {
// S_OK when the calling thread may use COM (its own apartment or the
// process's multithreaded one), else CO_E_NOTINITIALIZED.
HRESULT CheckApartment();
}  // namespace ksv::com
