// Counts heap allocations, for tests that prove a path allocates nothing.
// Linking this library replaces the global operator new of the test binary.
#pragma once

namespace ksv::testing {

// Number of operator new calls (every form) since the program started.
long AllocationCount();

}  // namespace ksv::testing
