// Semaphores behind handles: a count a wait takes one from, released by
// any thread, never above its maximum.
#include <memory>

#include "platform/sync/sync.h"
#include "platform/sync/waitable.h"

namespace ksv::platform::sync {
namespace {

class Semaphore final : public WaitableObject {
 public:
  Semaphore(LONG initial, LONG maximum) : count_(initial), maximum_(maximum) {}

  bool SignalledLocked() const override { return count_ > 0; }
  void TakeLocked() override { --count_; }

  // False (nothing changed) when the count would pass the maximum.
  bool Release(LONG count, LONG* previous) {
    std::lock_guard guard(lock());
    if (count > maximum_ - count_) return false;
    if (previous != nullptr) *previous = count_;
    count_ += count;
    NotifyWaitersLocked();
    return true;
  }

 private:
  LONG count_;
  const LONG maximum_;
};

}  // namespace
}  // namespace ksv::platform::sync

using ksv::platform::sync::Semaphore;

extern "C" {

HANDLE CreateSemaphoreA(void* attributes, LONG initialCount, LONG maximumCount, const char* name) {
  if (attributes != nullptr || name != nullptr || maximumCount <= 0 || initialCount < 0 ||
      initialCount > maximumCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ksv::platform::sync::OpenHandle(std::make_shared<Semaphore>(initialCount, maximumCount));
}

BOOL ReleaseSemaphore(HANDLE handle, LONG releaseCount, LONG* previousCount) {
  auto semaphore = std::dynamic_pointer_cast<Semaphore>(ksv::platform::sync::ObjectOf(handle));
  if (semaphore == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (releaseCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!semaphore->Release(releaseCount, previousCount)) {
    SetLastError(ERROR_TOO_MANY_POSTS);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
