// What every Win32 call knows about its thread: the last error and the
// thread's identifier.
#include <unistd.h>

#include <atomic>

#include "platform/sync/sync.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
thread_local DWORD threadId = 0;
std::atomic<DWORD> threadsNamed{0};

}  // namespace

extern "C" {

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD GetCurrentThreadId() {
  // Multiples of four, as the platform's are; never reused.
  if (threadId == 0) threadId = (threadsNamed.fetch_add(1, std::memory_order_relaxed) + 1) * 4;
  return threadId;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

}  // extern "C"
