// Counts heap allocations, for tests that prove a path allocates nothing,
// and fails them on demand, for tests of what out of memory does.
// Linking this library replaces the global operator new of the test binary.
#pragma once

namespace ksv::testing {

// Number of operator new calls (every form) since the program started.
long AllocationCount();

// While on, every operator new of the calling thread fails (the throwing
// forms throw std::bad_alloc, the others return null): a failed
// allocation, provoked. Turn it off before checking anything.
void FailAllocations(bool fail);

}  // namespace ksv::testing
