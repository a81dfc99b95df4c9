#include "platform/media/graph/system_clock.h"

#include <limits>

#include "platform/media/graph/counter_wait.h"
#include "platform/sync/sync.h"

namespace ksv::media::graph {
namespace {

// The latest time a request may name (MAX_TIME of the platform).
constexpr REFERENCE_TIME kMaxTime = std::numeric_limits<REFERENCE_TIME>::max();

}  // namespace

SystemClock::SystemClock()
    : schedule_([this] { return Now(); },
                [](void* handle, bool periodic) { Signal(handle, periodic); }) {}

REFERENCE_TIME SystemClock::Now() {
  std::lock_guard guard(timeLock_);
  // A counter installed in place of another may stand earlier: the clock
  // holds its time rather than go back.
  const REFERENCE_TIME now = CounterNow100ns();
  if (now > last_) last_ = now;
  return last_;
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
  if (time == nullptr) return E_POINTER;
  REFERENCE_TIME before = 0;
  {
    std::lock_guard guard(timeLock_);
    before = last_;
  }
  *time = Now();
  return *time == before ? S_FALSE : S_OK;
}

HRESULT SystemClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                                ULONG_PTR* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (event == 0) return E_INVALIDARG;
  if (baseTime < 0 || streamTime < 0 || baseTime > kMaxTime - streamTime ||
      baseTime + streamTime <= 0) {
    return E_INVALIDARG;
  }
  *cookie = schedule_.Add(baseTime + streamTime, 0, HandleOfClockRequest(event));
  return S_OK;
}

HRESULT SystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                    HSEMAPHORE semaphore, ULONG_PTR* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (semaphore == 0 || startTime <= 0 || periodTime <= 0 || startTime == kMaxTime) {
    return E_INVALIDARG;
  }
  *cookie = schedule_.Add(startTime, periodTime, HandleOfClockRequest(semaphore));
  return S_OK;
}

HRESULT SystemClock::Unadvise(ULONG_PTR cookie) {
  return schedule_.Remove(cookie) ? S_OK : S_FALSE;
}

void SystemClock::Signal(void* handle, bool periodic) {
  // A handle closed before its request was taken back fails here, harmlessly.
  if (periodic) {
    // A semaphore at its maximum stays there: the ticks nobody took are lost.
    ReleaseSemaphore(handle, 1, nullptr);
  } else {
    SetEvent(handle);
  }
}

}  // namespace ksv::media::graph
