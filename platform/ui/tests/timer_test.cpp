#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/kernel/performance_counter.h"
#include "platform/ui/tests/ui_test_support.h"

namespace {

using ksv::platform::kernel::ScopedPerformanceCounter;
using ksv::platform::kernel::SimulatedPerformanceCounter;
using ksv::platform::ui::testing::CreateTestWindow;
using ksv::platform::ui::testing::RegisterTestClass;

constexpr int64_t kMicroseconds = 1'000'000;  // counter frequency: one tick per microsecond
constexpr int64_t kMinute = 60 * kMicroseconds;

std::vector<DWORD> ticks;  // MSG::time of each WM_TIMER the procedure saw

LRESULT CountTicks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == 1) {
    // Stops after a simulated minute.
    if (ksv::platform::kernel::KeQueryPerformanceCounter(nullptr) > kMinute) {
      KillTimer(window, 1);
      PostQuitMessage(0);
      return 1;
    }
    ticks.push_back(0);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Takes every message due now, dispatching it; returns how many WM_TIMERs.
int Pump() {
  int timers = 0;
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_TIMER) ++timers;
    DispatchMessageA(&message);
  }
  return timers;
}

class Timers : public ::testing::Test {
 protected:
  void SetUp() override {
    ticks.clear();
    className_ = RegisterTestClass(CountTicks);
    plainClass_ = RegisterTestClass(DefWindowProcA);
  }
  std::string className_;
  std::string plainClass_;
};

TEST_F(Timers, A33MsTimerFires1818TimesInASimulatedMinuteOfSleepingWaits) {
  SimulatedPerformanceCounter counter(kMicroseconds);  // waits let time pass
  ScopedPerformanceCounter installed(counter);
  HWND window = CreateTestWindow(className_);
  ASSERT_EQ(SetTimer(window, 1, 33, nullptr), 1u);
  MSG message{};
  std::vector<DWORD> times;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) times.push_back(message.time);
    DispatchMessageA(&message);
  }
  // 60,000 ms / 33 ms: ticks at 33, 66, ..., 59,994 ms.
  EXPECT_EQ(ticks.size(), 1818u);
  ASSERT_GE(times.size(), 2u);
  EXPECT_EQ(times[0], 33u);
  EXPECT_EQ(times[1817], 59'994u);
  EXPECT_EQ(counter.Counter(), 60'027 * int64_t{1000}) << "the wait moved the counter to each tick, no further";
  DestroyWindow(window);
}

TEST_F(Timers, ALateTimerFiresOnceAndKeepsItsPhase) {
  SimulatedPerformanceCounter counter(kMicroseconds, 0, /*waitsAdvance=*/false);
  ScopedPerformanceCounter installed(counter);
  HWND window = CreateTestWindow(plainClass_);
  SetTimer(window, 1, 33, nullptr);

  // Moved in 1 ms steps the timer fires at every period...
  int fired = 0;
  for (int ms = 1; ms <= 60'000; ++ms) {
    counter.Set(int64_t{ms} * 1000);
    fired += Pump();
  }
  EXPECT_EQ(fired, 1818);

  // ... and moved in 100 ms steps, once per step: no burst of missed ticks.
  SetTimer(window, 1, 33, nullptr);  // restarts it at 60 s
  fired = 0;
  for (int step = 1; step <= 600; ++step) {
    counter.Advance(100'000);
    fired += Pump();
  }
  EXPECT_EQ(fired, 600);
  // Its ticks stay on whole periods from 60.000 s: the next is at 120.027 s.
  counter.Advance(26'000);
  EXPECT_EQ(Pump(), 0);
  counter.Advance(1'000);
  EXPECT_EQ(Pump(), 1);
  DestroyWindow(window);
}

TEST_F(Timers, AtMostOneTickOfATimerIsPendingAndKillTimerEndsIt) {
  SimulatedPerformanceCounter counter(kMicroseconds, 0, false);
  ScopedPerformanceCounter installed(counter);
  HWND window = CreateTestWindow(plainClass_);
  SetTimer(window, 2, 50, nullptr);
  counter.Advance(500'000);  // ten periods
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, WM_TIMER);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.wParam, 2u);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));

  // A posted message goes before a due timer.
  counter.Advance(50'000);
  PostMessageA(window, WM_APP, 0, 0);
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_APP);
  EXPECT_TRUE(KillTimer(window, 2));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(KillTimer(window, 2));
  DestroyWindow(window);
}

TEST_F(Timers, ADestroyedWindowsTimersEndWithIt) {
  SimulatedPerformanceCounter counter(kMicroseconds, 0, false);
  ScopedPerformanceCounter installed(counter);
  HWND window = CreateTestWindow(plainClass_);
  SetTimer(window, 1, 10, nullptr);
  counter.Advance(20'000);
  DestroyWindow(window);
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(KillTimer(window, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SetTimer(window, 1, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

std::vector<UINT_PTR> procedureTicks;
void OnTick(HWND, UINT, UINT_PTR id, DWORD) { procedureTicks.push_back(id); }

TEST_F(Timers, AThreadTimerWithAProcedureIsCalledThroughDispatch) {
  SimulatedPerformanceCounter counter(kMicroseconds, 0, false);
  ScopedPerformanceCounter installed(counter);
  procedureTicks.clear();
  const UINT_PTR id = SetTimer(nullptr, 0, 20, OnTick);
  ASSERT_NE(id, 0u);
  EXPECT_NE(SetTimer(nullptr, 0, 20, OnTick), id) << "each thread timer gets its own identifier";
  KillTimer(nullptr, id + 1);
  counter.Advance(25'000);
  EXPECT_EQ(Pump(), 1);
  EXPECT_EQ(procedureTicks, std::vector<UINT_PTR>{id});
  KillTimer(nullptr, id);
  counter.Advance(25'000);
  EXPECT_EQ(Pump(), 0);
}

TEST_F(Timers, ThreadsATimerIsSetOnlyOnItsOwnersWindow) {
  HWND window = CreateTestWindow(plainClass_);
  UINT_PTR result = 1;
  DWORD error = 0;
  std::thread([&] {
    result = SetTimer(window, 1, 33, nullptr);
    error = GetLastError();
  }).join();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  DestroyWindow(window);
}

}  // namespace
