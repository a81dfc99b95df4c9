// IReferenceClock: the clock a graph runs by. Times are 100-ns units that
// only grow; a filter waits for media time by asking the clock to signal an
// event (AdviseTime) rather than sleeping, so tests can run on simulated time.
#pragma once

#include "platform/com/unknown.h"
#include "platform/media/media_types.h"

// What AdviseTime and AdvisePeriodic signal: an event (CreateEventA) or a
// semaphore (CreateSemaphoreA) of the synchronisation stand-in
// (platform/sync/sync.h). The interface keeps the platform's integer types;
// a HANDLE is pointer-sized, and these two functions are the one place it
// is converted in either direction.
typedef ULONG_PTR HEVENT;
typedef ULONG_PTR HSEMAPHORE;

inline ULONG_PTR ClockHandleOf(HANDLE handle) { return reinterpret_cast<ULONG_PTR>(handle); }
inline HANDLE HandleOfClockRequest(ULONG_PTR handle) { return reinterpret_cast<HANDLE>(handle); }

struct IReferenceClock : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A86897-0AD4-11CE-B03A-0020AF0BA770");

  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
  // Signals `event` once when the clock reaches baseTime + streamTime;
  // *cookie identifies the request for Unadvise.
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                             ULONG_PTR* cookie) = 0;
  // Releases `semaphore` at startTime and every periodTime after it.
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                 HSEMAPHORE semaphore, ULONG_PTR* cookie) = 0;
  virtual HRESULT Unadvise(ULONG_PTR cookie) = 0;

 protected:
  ~IReferenceClock() = default;
};

inline constexpr IID IID_IReferenceClock = IReferenceClock::kIid;
