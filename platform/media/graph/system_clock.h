// The system reference clock (CLSID_SystemClock): IReferenceClock on the
// installed performance counter, in 100-ns units that never go back.
// Advise requests signal handles of platform/sync the caller made (an event
// for AdviseTime, a semaphore released once a period for AdvisePeriodic).
#pragma once

#include <atomic>
#include <mutex>

#include "platform/com/com_object.h"
#include "platform/media/reference_clock.h"
#include "platform/media/graph/advise_schedule.h"

namespace ksv::media::graph {

class SystemClock : public com::ComObject<IReferenceClock> {
 public:
  SystemClock();

  // S_FALSE when the time has not moved since the last reading.
  HRESULT GetTime(REFERENCE_TIME* time) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                     ULONG_PTR* cookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                         HSEMAPHORE semaphore, ULONG_PTR* cookie) override;
  // S_FALSE when the request is gone (a one-shot that fired).
  HRESULT Unadvise(ULONG_PTR cookie) override;

 protected:
  ~SystemClock() override = default;

 private:
  REFERENCE_TIME Now();
  static void Signal(void* handle, bool periodic);

  std::mutex timeLock_;
  REFERENCE_TIME last_ = 0;
  AdviseSchedule schedule_;
};

}  // namespace ksv::media::graph
