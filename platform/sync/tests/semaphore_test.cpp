#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sync/sync.h"

namespace {

TEST(Semaphores, WaitsTakeTheCountAndReleasesStopAtTheMaximum) {
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 3, nullptr);
  ASSERT_NE(semaphore, nullptr);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
  EXPECT_EQ(previous, 0);
  SetLastError(0);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 2, &previous));
  EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_POSTS);
  EXPECT_EQ(previous, 0) << "a refused release leaves the count alone";
  EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(semaphore));
}

TEST(Semaphores, BadArgumentsAndHandlesFail) {
  EXPECT_EQ(CreateSemaphoreA(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 0, nullptr), nullptr);
  EXPECT_EQ(CreateSemaphoreA(nullptr, -1, 1, nullptr), nullptr);
  EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "named"), nullptr);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(ReleaseSemaphore(event, 1, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(semaphore);
  CloseHandle(event);
}

// Every release wakes exactly one waiter's worth: each count released is
// taken once, by some thread.
TEST(Semaphores, ThreadsTakeEachReleaseOnce) {
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1000, nullptr);
  std::atomic<int> taken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      for (int n = 0; n < 50; ++n) {
        ASSERT_EQ(WaitForSingleObject(semaphore, INFINITE), WAIT_OBJECT_0);
        taken.fetch_add(1);
      }
    });
  }
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(ReleaseSemaphore(semaphore, 1, nullptr));
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_EQ(taken.load(), 200);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
  CloseHandle(semaphore);
}

}  // namespace
