#include "platform/kernel/event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>

namespace ksv::platform::kernel {
namespace {

std::atomic_ref<int32_t> State(KEVENT* event) { return std::atomic_ref<int32_t>(event->Signalled); }

void FutexWake(KEVENT* event) {
  ::syscall(SYS_futex, &event->Signalled, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

// Sleeps while the state is 0, at most `wait`; spurious returns are fine.
void FutexWait(KEVENT* event, const timespec* wait) {
  ::syscall(SYS_futex, &event->Signalled, FUTEX_WAIT, 0, wait, nullptr, 0);
}

// Takes the signal: a synchronisation event resets as it releases its waiter.
bool TryTake(KEVENT* event) {
  if (std::atomic_ref<int32_t>(event->Type).load() != SynchronizationEvent) {
    return State(event).load(std::memory_order_acquire) != 0;
  }
  int32_t expected = 1;
  return State(event).compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

}  // namespace

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool signalled) {
  std::atomic_ref<int32_t>(event->Type).store(type);
  State(event).store(signalled ? 1 : 0, std::memory_order_release);
}

int32_t KeSetEvent(KEVENT* event) {
  const int32_t previous = State(event).exchange(1, std::memory_order_acq_rel);
  FutexWake(event);
  return previous;
}

int32_t KeResetEvent(KEVENT* event) { return State(event).exchange(0, std::memory_order_acq_rel); }

int32_t KeReadStateEvent(const KEVENT* event) {
  return std::atomic_ref<int32_t>(const_cast<int32_t&>(event->Signalled))
      .load(std::memory_order_acquire);
}

NTSTATUS KeWaitForSingleObject(KEVENT* event, std::optional<int64_t> timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline =
      timeout ? Clock::now() + std::chrono::nanoseconds(std::max<int64_t>(*timeout, 0) * 100)
              : Clock::time_point::max();
  for (;;) {
    if (TryTake(event)) return STATUS_SUCCESS;
    if (!timeout) {
      FutexWait(event, nullptr);
      continue;
    }
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return STATUS_TIMEOUT;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    FutexWait(event, &wait);
  }
}

}  // namespace ksv::platform::kernel
