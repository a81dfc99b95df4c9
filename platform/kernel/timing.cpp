#include "platform/kernel/timing.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/kernel/performance_counter.h"

namespace ksv::platform::kernel {

NTSTATUS KeDelayExecutionThread(int64_t interval) {
  interval = std::llabs(interval);
  int64_t frequency = 0;
  KeQueryPerformanceCounter(&frequency);
  // Waits on a simulated clock still give other threads their turn.
  if (!CurrentPerformanceCounter().IsReal()) {
    CurrentPerformanceCounter().LetTimePass(IntervalToTicks(interval, frequency));
    std::this_thread::yield();
    return STATUS_SUCCESS;
  }
  std::this_thread::sleep_for(std::chrono::nanoseconds(interval * 100));
  return STATUS_SUCCESS;
}

void BusyWaitOnPerformanceCounter(int64_t interval) {
  interval = std::llabs(interval);
  int64_t frequency = 0;
  const int64_t start = KeQueryPerformanceCounter(&frequency);
  const int64_t ticks = IntervalToTicks(interval, frequency);
  CurrentPerformanceCounter().LetTimePass(ticks);
  while (KeQueryPerformanceCounter(nullptr) - start < ticks) {
    if (!CurrentPerformanceCounter().IsReal()) return;  // a frozen clock never moves on
  }
}

}  // namespace ksv::platform::kernel
