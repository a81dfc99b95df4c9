// The driver's clock: the performance counter in 100-ns units.
#pragma once

#include <cstdint>

namespace ksv::driver {

// Exact floor(counter x 10^7 / frequency) in unsigned 64-bit arithmetic,
// monotonic as the counter is. 0 when the counter reports no frequency.
uint64_t CurrentTime100ns();

// The same conversion for a given counter reading.
uint64_t CounterTo100ns(uint64_t counter, uint64_t frequency);

}  // namespace ksv::driver
