// User-mode kernel objects and waits as Win32 offers them: events and
// semaphores behind HANDLEs, waits for one or several of them, and the
// per-thread facts every Win32 call leans on (the last error, the thread's
// identifier).
//
// Time-outs are counted on the installed performance counter
// (platform/kernel/performance_counter.h), as the kernel's waits are: on a
// real counter they take real time; on a simulated one a time-out passes
// only as something else moves the counter (a test, a streaming thread's
// simulated sleep), and the waiter looks at it again every millisecond.
#pragma once

#include "include/win32_errors.h"
#include "include/win32_types.h"

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
// The most handles one wait takes.
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

extern "C" {

// The calling thread's last error; every failing call here sets it.
DWORD GetLastError();
void SetLastError(DWORD error);

// The calling thread's identifier: nonzero, unique in the process and never
// given to another thread, even after this one has ended.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

// An unnamed event (`attributes` and `name` must be null: no named or
// inheritable objects here). A manual-reset event stays signalled until
// reset and releases every waiter; an auto-reset one releases one waiter
// and resets itself. Null on failure.
HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// An unnamed semaphore: a wait takes one from its count and waits while it
// is 0. 0 <= initialCount <= maximumCount and maximumCount > 0, else null
// with ERROR_INVALID_PARAMETER.
HANDLE CreateSemaphoreA(void* attributes, LONG initialCount, LONG maximumCount, const char* name);
// Adds `releaseCount` (> 0) to the count and stores the count before in
// *previousCount (may be null). Past the maximum it changes nothing and
// fails with ERROR_TOO_MANY_POSTS.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount);
// Ends the handle. A wait already in progress on it keeps the object alive
// until it returns.
BOOL CloseHandle(HANDLE handle);

// WAIT_OBJECT_0 when the object was signalled (taking an auto-reset
// event's signal), WAIT_TIMEOUT, or WAIT_FAILED with the reason in
// GetLastError (ERROR_INVALID_HANDLE).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Any: WAIT_OBJECT_0 + the lowest index signalled. All: WAIT_OBJECT_0 once
// every object is signalled at the same moment, taken together. 1 to
// MAXIMUM_WAIT_OBJECTS handles; the same handle twice in a wait for all is
// ERROR_INVALID_PARAMETER, as on the platform.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

}  // extern "C"
