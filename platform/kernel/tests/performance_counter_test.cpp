#include "platform/kernel/performance_counter.h"

#include <gtest/gtest.h>

namespace ksv::platform::kernel {
namespace {

TEST(PerformanceCounter, RealClockMovesForwardInNanoseconds) {
  int64_t frequency = 0;
  const int64_t first = KeQueryPerformanceCounter(&frequency);
  EXPECT_EQ(frequency, 1'000'000'000);
  const int64_t second = KeQueryPerformanceCounter(nullptr);
  EXPECT_GE(second, first);
}

TEST(PerformanceCounter, InstalledSimulationIsReadUntilItsScopeEnds) {
  SimulatedPerformanceCounter outer(10'000'000, 500);
  SimulatedPerformanceCounter inner(3'000'000'000, 7);
  {
    ScopedPerformanceCounter useOuter(outer);
    int64_t frequency = 0;
    EXPECT_EQ(KeQueryPerformanceCounter(&frequency), 500);
    EXPECT_EQ(frequency, 10'000'000);
    {
      ScopedPerformanceCounter useInner(inner);
      inner.Advance(5);
      EXPECT_EQ(KeQueryPerformanceCounter(&frequency), 12);
      EXPECT_EQ(frequency, 3'000'000'000);
    }
    outer.Set(9);
    EXPECT_EQ(KeQueryPerformanceCounter(&frequency), 9);
    EXPECT_EQ(frequency, 10'000'000);
  }
  int64_t frequency = 0;
  KeQueryPerformanceCounter(&frequency);
  EXPECT_EQ(frequency, 1'000'000'000);  // the real clock again
}

}  // namespace
}  // namespace ksv::platform::kernel
