// Locks, events and worker threads as the base classes use them:
// CCritSec (a recursive lock, like a critical section), CAutoLock (held for
// a scope), CAMEvent (a manual- or auto-reset event) and CAMThread (a worker
// that takes one request at a time from its creator and replies to it).
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "include/win32_types.h"
#include "platform/com/hresult.h"
#include "platform/sync/sync.h"  // the events CBaseRenderer waits on

class CCritSec {
 public:
  CCritSec() = default;
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~CAutoLock() { lock_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* lock_;
};

// An event: Set wakes waiters; an auto-reset event lets one waiter through
// and resets, a manual-reset event stays set until Reset.
class CAMEvent {
 public:
  explicit CAMEvent(BOOL manualReset = FALSE) : manualReset_(manualReset != FALSE) {}
  CAMEvent(const CAMEvent&) = delete;
  CAMEvent& operator=(const CAMEvent&) = delete;

  void Set();
  void Reset();
  // TRUE when the event was (or became) set within `milliseconds`.
  BOOL Wait(DWORD milliseconds = INFINITE);
  BOOL Check() { return Wait(0); }

 private:
  const bool manualReset_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// A worker thread. The creator calls CallWorker(request), which waits for
// the worker's Reply; the worker, in ThreadProc, takes requests with
// GetRequest (waiting) or CheckRequest (polling).
class CAMThread {
 public:
  CAMThread() = default;
  virtual ~CAMThread();
  CAMThread(const CAMThread&) = delete;
  CAMThread& operator=(const CAMThread&) = delete;

  // Starts the thread; FALSE when one already runs.
  BOOL Create();
  // Sends `request` and waits for the reply; E_FAIL without a thread.
  DWORD CallWorker(DWORD request);
  // Waits for the thread to end.
  void Close();
  BOOL ThreadExists() const { return thread_.joinable(); }

  // On the worker.
  DWORD GetRequest();
  BOOL CheckRequest(DWORD* request);
  void Reply(DWORD result);

 protected:
  virtual DWORD ThreadProc() = 0;

  CCritSec m_AccessLock;  // one caller at a time

 private:
  CAMEvent requestSent_{TRUE};
  CAMEvent replied_{FALSE};
  std::mutex valuesMutex_;
  DWORD request_ = 0;
  DWORD result_ = 0;
  std::thread thread_;
};
