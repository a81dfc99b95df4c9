// The high-resolution performance counter. It reads a real monotonic clock
// unless a simulated counter is installed, which lets tests and recorded
// packet replays control time exactly.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace ksv::platform::kernel {

// Returns the counter value; stores its ticks per second in *frequency when
// `frequency` is not null.
int64_t KeQueryPerformanceCounter(int64_t* frequency);

// The counter now in 100-ns units (the unit of the media framework's
// reference times and of kernel intervals).
int64_t PerformanceCounterNow100ns();

// A length of `interval` 100-ns units (not negative) in ticks of a counter
// of `frequency`, rounded up so that a wait never ends early.
int64_t IntervalToTicks(int64_t interval, int64_t frequency);

// Where the counter comes from.
class PerformanceCounterSource {
 public:
  virtual ~PerformanceCounterSource() = default;
  virtual int64_t Counter() const = 0;
  virtual int64_t Frequency() const = 0;
  // A driver waits `ticks` of this counter (a sleep or a busy wait). A real
  // clock lets the time pass by itself; a simulated one decides here.
  virtual void LetTimePass(int64_t ticks) const { (void)ticks; }
  // True for a clock that runs by itself (waits really sleep or spin).
  virtual bool IsReal() const { return false; }
};

// A counter that only moves when told to. Reads and writes are atomic, so a
// test thread may move it while another reads it. A driver's waits on it
// take no real time: with `waitsAdvance` they move the counter on by the
// time waited, otherwise (a recorded replay, whose clock follows the
// recording) they leave it where it is.
class SimulatedPerformanceCounter final : public PerformanceCounterSource {
 public:
  explicit SimulatedPerformanceCounter(int64_t frequency, int64_t start = 0,
                                       bool waitsAdvance = true)
      : frequency_(frequency), waitsAdvance_(waitsAdvance), counter_(start) {}

  int64_t Counter() const override { return counter_.load(std::memory_order_acquire); }
  int64_t Frequency() const override { return frequency_; }
  void LetTimePass(int64_t ticks) const override {
    if (waitsAdvance_ && ticks > 0) counter_.fetch_add(ticks, std::memory_order_acq_rel);
  }

  void Set(int64_t counter) { counter_.store(counter, std::memory_order_release); }
  void Advance(int64_t ticks) { counter_.fetch_add(ticks, std::memory_order_acq_rel); }

 private:
  const int64_t frequency_;
  const bool waitsAdvance_;
  mutable std::atomic<int64_t> counter_;
};

// The counter now installed.
const PerformanceCounterSource& CurrentPerformanceCounter();

// For a thread that waits on the counter while another may end the scope
// that installed it: the installed counter read as one, and later readings
// of that same counter only while it is still installed (nothing once it
// is not). Uninstalling waits for a reading in progress, so neither touches
// a counter that is gone.
struct CounterReading {
  const PerformanceCounterSource* source;
  int64_t counter;
  int64_t frequency;
  bool real;
};
CounterReading ReadInstalledCounter();
std::optional<int64_t> CounterIfStillInstalled(const PerformanceCounterSource* source);
// Lets `ticks` pass on `source` (a sleep on it, see LetTimePass) while it is
// still installed; false, doing nothing, once it is not.
bool LetTimePassIfStillInstalled(const PerformanceCounterSource* source, int64_t ticks);
// The installed counter read as one, after letting `ticks` pass on it when
// it is `source`: one look at the installed counter for a wait that comes
// again and again (a bus frame's).
CounterReading LetTimePassAndReadInstalled(const PerformanceCounterSource* source, int64_t ticks);

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

// For a thread doing now the work of an earlier moment (the USB bus
// catching up on several bus frames after one wake): while the scope lasts,
// KeQueryPerformanceCounter on this thread reads `lag` ticks behind the
// counter, never earlier than its last reading on the thread, so time
// still moves on (a wait on it ends) and never goes back. Other threads,
// and the waiter's own reads of the installed counter, are not affected.
class ScopedCounterLag {
 public:
  explicit ScopedCounterLag(int64_t lag);
  ~ScopedCounterLag();
  ScopedCounterLag(const ScopedCounterLag&) = delete;
  ScopedCounterLag& operator=(const ScopedCounterLag&) = delete;
};

}  // namespace ksv::platform::kernel
