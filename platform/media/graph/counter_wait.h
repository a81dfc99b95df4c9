// Waiting with a time-out counted on the installed performance counter
// (platform/kernel/performance_counter.h), as every wait of the platform
// is: on a real counter the wait sleeps out what is left; on a simulated
// one the time-out passes only as something else moves the counter, and the
// waiter looks again every millisecond.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/kernel/performance_counter.h"

namespace ksv::media::graph {

// The installed counter in 100-ns units (the unit of REFERENCE_TIME).
int64_t CounterNow100ns();

// Waits, with `lock` held on entry and exit, until `ready()` is true or
// `milliseconds` have passed on the installed counter (nullopt: no limit).
// Returns what `ready()` said last.
template <class Ready>
bool WaitOnCounter(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   std::optional<int64_t> milliseconds, Ready ready);

namespace detail {
// How long to sleep before looking again, or nothing once the deadline (a
// counter value of `reading`'s counter) has passed or the counter was
// replaced.
std::optional<int64_t> NanosecondsLeft(const platform::kernel::CounterReading& reading,
                                       int64_t deadline);
int64_t Deadline(const platform::kernel::CounterReading& reading, int64_t milliseconds);
}  // namespace detail

template <class Ready>
bool WaitOnCounter(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   std::optional<int64_t> milliseconds, Ready ready) {
  if (!milliseconds) {
    changed.wait(lock, ready);
    return true;
  }
  const platform::kernel::CounterReading start = platform::kernel::ReadInstalledCounter();
  const int64_t deadline = detail::Deadline(start, *milliseconds);
  for (;;) {
    if (ready()) return true;
    const std::optional<int64_t> left = detail::NanosecondsLeft(start, deadline);
    if (!left) return ready();
    changed.wait_for(lock, std::chrono::nanoseconds(*left));
  }
}

}  // namespace ksv::media::graph
