#include "platform/kernel/performance_counter.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <shared_mutex>
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
// Held shared while a waiter reads the counter it waits on, and exclusively
// while a counter is installed or uninstalled.
std::shared_mutex installLock;

// This thread's lag (ScopedCounterLag), and its last lagged reading.
struct ThreadLag {
  bool active = false;
  int64_t lag = 0;
  int64_t lastReading = std::numeric_limits<int64_t>::min();
};
thread_local ThreadLag threadLag;

}  // namespace

ScopedCounterLag::ScopedCounterLag(int64_t lag) {
  threadLag.active = true;
  threadLag.lag = std::max<int64_t>(lag, 0);
}

ScopedCounterLag::~ScopedCounterLag() { threadLag.active = false; }

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
  const int64_t counter = source->Counter();
  if (!threadLag.active) return counter;
  threadLag.lastReading = std::max(counter - threadLag.lag, threadLag.lastReading);
  return threadLag.lastReading;
}

int64_t PerformanceCounterNow100ns() {
  int64_t frequency = 1;
  const int64_t counter = KeQueryPerformanceCounter(&frequency);
  __extension__ using Wide = __int128;
  return static_cast<int64_t>(static_cast<Wide>(counter) * 10'000'000 / frequency);
}

const PerformanceCounterSource& CurrentPerformanceCounter() {
  return *installed.load(std::memory_order_acquire);
}

CounterReading ReadInstalledCounter() {
  std::shared_lock guard(installLock);
  const PerformanceCounterSource* source = installed.load(std::memory_order_acquire);
  return {source, source->Counter(), source->Frequency(), source->IsReal()};
}

std::optional<int64_t> CounterIfStillInstalled(const PerformanceCounterSource* source) {
  std::shared_lock guard(installLock);
  if (installed.load(std::memory_order_acquire) != source) return std::nullopt;
  return source->Counter();
}

bool LetTimePassIfStillInstalled(const PerformanceCounterSource* source, int64_t ticks) {
  std::shared_lock guard(installLock);
  if (installed.load(std::memory_order_acquire) != source) return false;
  source->LetTimePass(ticks);
  return true;
}

CounterReading LetTimePassAndReadInstalled(const PerformanceCounterSource* source, int64_t ticks) {
  std::shared_lock guard(installLock);
  const PerformanceCounterSource* installedNow = installed.load(std::memory_order_acquire);
  if (installedNow == source) installedNow->LetTimePass(ticks);
  return {installedNow, installedNow->Counter(), installedNow->Frequency(), installedNow->IsReal()};
}

ScopedPerformanceCounter::ScopedPerformanceCounter(const PerformanceCounterSource& source) {
  std::lock_guard guard(installLock);
  previous_ = installed.exchange(&source, std::memory_order_acq_rel);
}

ScopedPerformanceCounter::~ScopedPerformanceCounter() {
  std::lock_guard guard(installLock);
  installed.store(previous_, std::memory_order_release);
}

}  // namespace ksv::platform::kernel
