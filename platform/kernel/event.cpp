#include "platform/kernel/event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>

#include "platform/kernel/performance_counter.h"

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

constexpr int64_t kSimulatedRecheckNs = 1'000'000;
__extension__ using Wide = __int128;

int64_t TicksToNanoseconds(int64_t ticks, int64_t frequency) {
  const Wide ns = (static_cast<Wide>(ticks) * 1'000'000'000 + frequency - 1) / frequency;
  return static_cast<int64_t>(std::min<Wide>(ns, INT64_MAX / 2));
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
  if (!timeout) {
    while (!TryTake(event)) FutexWait(event, nullptr);
    return STATUS_SUCCESS;
  }
  const CounterReading start = ReadInstalledCounter();
  const int64_t deadline =
      start.counter + IntervalToTicks(std::max<int64_t>(*timeout, 0), start.frequency);
  for (;;) {
    if (TryTake(event)) return STATUS_SUCCESS;
    // A counter uninstalled during the wait (its scope ended) may be gone:
    // the time-out it measured is over.
    const std::optional<int64_t> now = CounterIfStillInstalled(start.source);
    if (!now) return STATUS_TIMEOUT;
    const int64_t left = deadline - *now;
    if (left <= 0) return STATUS_TIMEOUT;
    // A real clock sleeps out what is left; a simulated one is moved by
    // another thread, so the wait looks at it again every millisecond.
    const int64_t ns =
        start.real ? TicksToNanoseconds(left, start.frequency) : kSimulatedRecheckNs;
    const timespec wait{static_cast<time_t>(ns / 1'000'000'000),
                        static_cast<long>(ns % 1'000'000'000)};
    FutexWait(event, &wait);
  }
}

}  // namespace ksv::platform::kernel
