#include "platform/kernel/performance_counter.h"

#include <gtest/gtest.h>

#include <thread>

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

// A lagged thread reads behind, never back in time, and alone: another
// thread, and the same thread after the scope, read the counter itself.
TEST(PerformanceCounter, ALagIsThisThreadsAndNeverTurnsTimeBack) {
  SimulatedPerformanceCounter counter(10'000'000, 1'000);
  ScopedPerformanceCounter use(counter);
  {
    ScopedCounterLag lag(300);
    EXPECT_EQ(KeQueryPerformanceCounter(nullptr), 700);
    counter.Advance(50);
    EXPECT_EQ(KeQueryPerformanceCounter(nullptr), 750);
    int64_t elsewhere = 0;
    std::thread([&elsewhere] { elsewhere = KeQueryPerformanceCounter(nullptr); }).join();
    EXPECT_EQ(elsewhere, 1'050);
  }
  EXPECT_EQ(KeQueryPerformanceCounter(nullptr), 1'050);
  {
    ScopedCounterLag later(400);  // a later bus frame that ran later still
    EXPECT_EQ(KeQueryPerformanceCounter(nullptr), 750);
  }
}

}  // namespace
}  // namespace ksv::platform::kernel
