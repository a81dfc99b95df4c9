#include "platform/media/graph/advise_schedule.h"

#include <algorithm>
#include <chrono>

#include "platform/kernel/performance_counter.h"

namespace ksv::media::graph {
namespace {

namespace kernel = platform::kernel;
__extension__ using Wide = __int128;
constexpr auto kSimulatedRecheck = std::chrono::milliseconds(1);

int64_t HundredNsToTicks(int64_t units, int64_t frequency) {
  return kernel::IntervalToTicks(units, frequency);
}

}  // namespace

AdviseSchedule::AdviseSchedule(std::function<int64_t()> now, Signal signal)
    : now_(std::move(now)), signal_(std::move(signal)) {
  requests_.reserve(8);
}

AdviseSchedule::~AdviseSchedule() {
  {
    std::lock_guard guard(mutex_);
    ending_ = true;
    requests_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

uintptr_t AdviseSchedule::Add(int64_t due, int64_t period, void* handle) {
  uintptr_t cookie = 0;
  {
    std::lock_guard guard(mutex_);
    cookie = nextCookie_++;
    requests_.push_back({cookie, due, period, handle});
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  }
  changed_.notify_all();
  return cookie;
}

bool AdviseSchedule::Remove(uintptr_t cookie) {
  std::lock_guard guard(mutex_);
  const auto found = std::find_if(requests_.begin(), requests_.end(),
                                  [cookie](const Request& r) { return r.cookie == cookie; });
  if (found == requests_.end()) return false;
  requests_.erase(found);
  return true;
}

void AdviseSchedule::Recheck() { changed_.notify_all(); }

size_t AdviseSchedule::EarliestLocked() const {
  size_t earliest = 0;
  for (size_t i = 1; i < requests_.size(); ++i) {
    if (requests_[i].due < requests_[earliest].due) earliest = i;
  }
  return earliest;
}

void AdviseSchedule::SleepUntilLocked(std::unique_lock<std::mutex>& lock,
                                      const Request& earliest) {
  const kernel::CounterReading reading = kernel::ReadInstalledCounter();
  const int64_t left = earliest.due - now_();
  if (reading.real) {
    const Wide ns = static_cast<Wide>(left) * 100;
    changed_.wait_for(lock, std::chrono::nanoseconds(static_cast<int64_t>(
                                std::min<Wide>(ns, int64_t{1} << 50))));
    return;
  }
  if (earliest.period != 0) {
    changed_.wait_for(lock, kSimulatedRecheck);
    return;
  }
  // A sleeper waits for this one: let its time pass on the simulated
  // counter, as a sleep on it does. The counter must still be the one read
  // (a test that ends its counter's scope first stops the graph).
  lock.unlock();
  kernel::LetTimePassIfStillInstalled(reading.source, HundredNsToTicks(left, reading.frequency));
  lock.lock();
  // A counter whose waits do not advance it is moved by someone else.
  if (earliest.due > now_()) changed_.wait_for(lock, kSimulatedRecheck);
}

void AdviseSchedule::Run() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    if (requests_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const size_t index = EarliestLocked();
    Request request = requests_[index];
    if (request.due > now_()) {
      SleepUntilLocked(lock, request);
      continue;
    }
    if (request.period == 0) {
      requests_.erase(requests_.begin() + static_cast<std::ptrdiff_t>(index));
    } else {
      requests_[index].due += request.period;
    }
    // Signalled with the lock dropped; a request removed meanwhile may
    // still be signalled once, as Unadvise racing the due time allows.
    lock.unlock();
    signal_(request.handle, request.period != 0);
    lock.lock();
  }
}

}  // namespace ksv::media::graph
