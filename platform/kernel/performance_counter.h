// The high-resolution performance counter. It reads a real monotonic clock
// unless a simulated counter is installed, which lets tests and recorded
// packet replays control time exactly.
#pragma once

#include <atomic>
#include <cstdint>

namespace ksv::platform::kernel {

// Returns the counter value; stores its ticks per second in *frequency when
// `frequency` is not null.
int64_t KeQueryPerformanceCounter(int64_t* frequency);

// Where the counter comes from.
class PerformanceCounterSource {
 public:
  virtual ~PerformanceCounterSource() = default;
  virtual int64_t Counter() const = 0;
  virtual int64_t Frequency() const = 0;
};

// A counter that only moves when told to. Reads and writes are atomic, so a
// test thread may move it while another reads it.
class SimulatedPerformanceCounter final : public PerformanceCounterSource {
 public:
  explicit SimulatedPerformanceCounter(int64_t frequency, int64_t start = 0)
      : frequency_(frequency), counter_(start) {}

  int64_t Counter() const override { return counter_.load(std::memory_order_acquire); }
  int64_t Frequency() const override { return frequency_; }

  void Set(int64_t counter) { counter_.store(counter, std::memory_order_release); }
  void Advance(int64_t ticks) { counter_.fetch_add(ticks, std::memory_order_acq_rel); }

 private:
  const int64_t frequency_;
  std::atomic<int64_t> counter_;
};

// Makes `source` the counter for the lifetime of this object and restores the
// previous one afterwards. Installs nest; the innermost wins.
class ScopedPerformanceCounter {
 public:
  explicit ScopedPerformanceCounter(const PerformanceCounterSource& source);
  ~ScopedPerformanceCounter();
  ScopedPerformanceCounter(const ScopedPerformanceCounter&) = delete;
  ScopedPerformanceCounter& operator=(const ScopedPerformanceCounter&) = delete;

 private:
  const PerformanceCounterSource* previous_;
};

}  // namespace ksv::platform::kernel
