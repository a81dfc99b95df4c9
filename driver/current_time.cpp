#include "driver/current_time.h"

#include "platform/kernel/performance_counter.h"

namespace ksv::driver {

uint64_t CounterTo100ns(uint64_t counter, uint64_t frequency) {
  constexpr uint64_t kUnitsPerSecond = 10'000'000;
  if (frequency == 0) return 0;
  // Whole seconds and the remainder separately: neither product overflows
  // for any frequency below 1.8 THz, and no precision is lost. (Splitting
  // the counter into its 32-bit halves and dividing each by the frequency
  // instead drops up to a second whenever the low half wraps, so time would
  // run backwards.)
  return counter / frequency * kUnitsPerSecond + counter % frequency * kUnitsPerSecond / frequency;
}

uint64_t CurrentTime100ns() {
  int64_t frequency = 0;
  const int64_t counter = platform::kernel::KeQueryPerformanceCounter(&frequency);
  return CounterTo100ns(static_cast<uint64_t>(counter), static_cast<uint64_t>(frequency));
}

}  // namespace ksv::driver
