#include "platform/kernel/timing.h"

#include <cstdlib>
#include <thread>

#include "platform/kernel/performance_counter.h"

namespace ksv::platform::kernel {
namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;
__extension__ using Wide = __int128;

// 100-ns units in counter ticks, rounded up so a wait never ends early.
int64_t ToTicks(int64_t interval, int64_t frequency) {
  const Wide ticks = static_cast<Wide>(interval) * frequency + kUnitsPerSecond - 1;
  return static_cast<int64_t>(ticks / kUnitsPerSecond);
}

}  // namespace

NTSTATUS KeDelayExecutionThread(int64_t interval) {
  interval = std::llabs(interval);
  int64_t frequency = 0;
  KeQueryPerformanceCounter(&frequency);
  // Waits on a simulated clock still give other threads their turn.
  if (!CurrentPerformanceCounter().IsReal()) {
    CurrentPerformanceCounter().LetTimePass(ToTicks(interval, frequency));
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
  const int64_t ticks = ToTicks(interval, frequency);
  CurrentPerformanceCounter().LetTimePass(ticks);
  while (KeQueryPerformanceCounter(nullptr) - start < ticks) {
    if (!CurrentPerformanceCounter().IsReal()) return;  // a frozen clock never moves on
  }
}

}  // namespace ksv::platform::kernel
