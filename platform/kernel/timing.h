// Waiting in a driver: sleeping the current thread, and busy waits that spin
// on the performance counter. Both follow the installed counter (see
// performance_counter.h): on a simulated counter they take no real time.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

// Sleeps for `interval` 100-ns units (the kernel's relative interval is
// negative; either sign is taken as a length here).
NTSTATUS KeDelayExecutionThread(int64_t interval);

// Spins until the performance counter has moved on by `interval` 100-ns
// units.
void BusyWaitOnPerformanceCounter(int64_t interval);

}  // namespace ksv::platform::kernel
