#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/kernel/performance_counter.h"
#include "platform/sync/sync.h"

namespace {

using ksv::platform::kernel::ScopedPerformanceCounter;
using ksv::platform::kernel::SimulatedPerformanceCounter;

TEST(Events, ManualResetStaysSignalledAutoResetIsTakenOnce) {
  HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  ASSERT_NE(manual, nullptr);
  ASSERT_NE(automatic, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(automatic));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST(Events, BadHandlesAndArgumentsFailWithTheirErrors) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(CloseHandle(event));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  HANDLE live = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  const HANDLE twice[] = {live, live};
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0) << "a wait for any may repeat";
  EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(CreateEventA(nullptr, TRUE, TRUE, "named"), nullptr);
  CloseHandle(live);
}

TEST(Events, WaitForAnyReportsTheLowestSignalledWaitForAllTakesThemTogether) {
  HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE second = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE third = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  const HANDLE all[] = {first, second, third};
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);

  SetEvent(second);
  SetEvent(third);
  EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "a failed wait for all takes nothing";
  SetEvent(second);
  SetEvent(first);
  EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_OBJECT_0);
  for (HANDLE event : all) EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  for (HANDLE event : all) CloseHandle(event);
}

TEST(Events, ThreadsAnAutoResetEventReleasesOneWaiterPerSet) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::thread waiters[2];
  for (auto& waiter : waiters) {
    waiter = std::thread([&] {
      if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) released.fetch_add(1);
    });
  }
  SetEvent(event);
  while (released.load() == 0) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(released.load(), 1);
  SetEvent(event);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released.load(), 2);
  CloseHandle(event);
}

TEST(Events, ThreadsAManualResetEventReleasesEveryWaiter) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::thread waiters[3];
  for (auto& waiter : waiters) {
    waiter = std::thread([&] {
      if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) released.fetch_add(1);
    });
  }
  SetEvent(event);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released.load(), 3);
  CloseHandle(event);
}

TEST(Events, ThreadsATimeOutOnASimulatedCounterPassesOnlyAsTheCounterMoves) {
  SimulatedPerformanceCounter counter(1'000'000, 0, /*waitsAdvance=*/false);
  ScopedPerformanceCounter installed(counter);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> result{0xDEAD};
  std::thread waiter([&] { result = WaitForSingleObject(event, 100); });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(result.load(), 0xDEADu) << "30 real ms are no simulated time";
  counter.Advance(99'000);
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(result.load(), 0xDEADu);
  counter.Advance(1'000);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(Events, ATimeOutOnTheRealClockTakesItsTime) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  CloseHandle(event);
}

TEST(ThreadIds, AreDistinctPerThreadAndStable) {
  const DWORD mine = GetCurrentThreadId();
  DWORD other = 0;
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(mine, 0u);
  EXPECT_NE(other, mine);
  EXPECT_EQ(GetCurrentThreadId(), mine);
}

}  // namespace
