#include "platform/kernel/performance_counter.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <ctime>

namespace ksv::platform::kernel {
namespace {

// The real clock: CLOCK_MONOTONIC in nanoseconds.
class MonotonicClock final : public PerformanceCounterSource {
 public:
  int64_t Counter() const override {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
  }
  int64_t Frequency() const override { return 1'000'000'000; }
  bool IsReal() const override { return true; }
};

const MonotonicClock kMonotonicClock;
std::atomic<const PerformanceCounterSource*> installed{&kMonotonicClock};

}  // namespace

int64_t IntervalToTicks(int64_t interval, int64_t frequency) {
  constexpr int64_t kUnitsPerSecond = 10'000'000;
  __extension__ using Wide = __int128;
  const Wide ticks =
      (static_cast<Wide>(interval) * frequency + kUnitsPerSecond - 1) / kUnitsPerSecond;
  return static_cast<int64_t>(std::min<Wide>(ticks, std::numeric_limits<int64_t>::max() / 2));
}

int64_t KeQueryPerformanceCounter(int64_t* frequency) {
  const PerformanceCounterSource* source = installed.load(std::memory_order_acquire);
  if (frequency != nullptr) *frequency = source->Frequency();
  return source->Counter();
}

const PerformanceCounterSource& CurrentPerformanceCounter() {
  return *installed.load(std::memory_order_acquire);
}

ScopedPerformanceCounter::ScopedPerformanceCounter(const PerformanceCounterSource& source)
    : previous_(installed.exchange(&source, std::memory_order_acq_rel)) {}

ScopedPerformanceCounter::~ScopedPerformanceCounter() {
  installed.store(previous_, std::memory_order_release);
}

}  // namespace ksv::platform::kernel
