// The timetable behind the system clock's advise requests: one-shot
// requests that signal an event once their time comes, and periodic ones
// that release a semaphore at each period. One thread, started with the
// first request, waits for the earliest due time on the installed
// performance counter.
//
// On a simulated counter whose waits advance it (a test's, see
// performance_counter.h) a one-shot request is a sleep: someone waits for
// it, so the thread lets the time pass up to it at once and the test takes
// no real time. A periodic request is a metronome nobody sleeps on; it
// falls due only as something else moves the counter, so it cannot run the
// simulated time away.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ksv::media::graph {

class AdviseSchedule {
 public:
  // `signal` is called on the schedule's thread, with no lock held, for
  // each request that falls due: the handle it was given and whether it is
  // periodic (a semaphore) or not (an event).
  using Signal = std::function<void(void* handle, bool periodic)>;
  // `now` reads the clock the request times are on (100-ns units).
  AdviseSchedule(std::function<int64_t()> now, Signal signal);
  ~AdviseSchedule();  // drops the requests left and ends the thread
  AdviseSchedule(const AdviseSchedule&) = delete;
  AdviseSchedule& operator=(const AdviseSchedule&) = delete;

  // A new request; returns its cookie (never 0). `period` 0 makes it
  // one-shot.
  uintptr_t Add(int64_t due, int64_t period, void* handle);
  // False when no request has that cookie (a one-shot that fired is gone).
  bool Remove(uintptr_t cookie);
  // Wakes the thread to look at the clock again (its time was moved).
  void Recheck();

 private:
  struct Request {
    uintptr_t cookie;
    int64_t due;
    int64_t period;
    void* handle;
  };
  void Run();
  // With the lock held: the index of the earliest request.
  size_t EarliestLocked() const;
  // Sleeps, with the lock held on entry and exit, until `due` may have come.
  void SleepUntilLocked(std::unique_lock<std::mutex>& lock, const Request& earliest);

  const std::function<int64_t()> now_;
  const Signal signal_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Request> requests_;
  uintptr_t nextCookie_ = 1;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace ksv::media::graph
