// The machinery behind the waits of sync.h, open to the other stand-ins
// that wait for kernel objects together with something of their own (a
// thread's message queue waits for an event or a message).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "include/win32_types.h"

namespace ksv::platform::sync {

// One waiting thread. Whatever it waits for wakes it with Notify; a wake-up
// that comes before the thread sleeps is kept, so none is lost.
class Waiter {
 public:
  void Notify();
  // Sleeps until notified or `nanoseconds` have passed (nullopt: no limit),
  // and clears the notification.
  void Sleep(std::optional<int64_t> nanoseconds);

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool notified_ = false;
};

// A list of waiters to notify when something changes; callers guard it with
// their own lock.
class WaiterList {
 public:
  void Add(Waiter* waiter) { waiters_.push_back(waiter); }
  void Remove(Waiter* waiter);
  void NotifyAll() const;

 private:
  std::vector<Waiter*> waiters_;
};

// A kernel object a wait can take. Its state is guarded by lock().
class WaitableObject {
 public:
  virtual ~WaitableObject() = default;
  std::mutex& lock() { return mutex_; }
  // With lock() held: whether a wait would be satisfied now, and taking
  // that (an auto-reset event resets).
  virtual bool SignalledLocked() const = 0;
  virtual void TakeLocked() = 0;

  void AddWaiter(Waiter* waiter);
  void RemoveWaiter(Waiter* waiter);

 protected:
  // With lock() held, after the object became signalled.
  void NotifyWaitersLocked() const { waiters_.NotifyAll(); }

 private:
  std::mutex mutex_;
  WaiterList waiters_;
};

// A handle for `object`, unique for the life of the process.
HANDLE OpenHandle(std::shared_ptr<WaitableObject> object);
// The object behind `handle`, or null (ERROR_INVALID_HANDLE set).
std::shared_ptr<WaitableObject> ObjectOf(HANDLE handle);

// Something else a wait may end on: a message queue's input.
class WaitSource {
 public:
  virtual ~WaitSource() = default;
  virtual bool Ready() = 0;
  virtual void AddWaiter(Waiter* waiter) = 0;
  virtual void RemoveWaiter(Waiter* waiter) = 0;
  // The counter value at which the source becomes ready by itself (a timer
  // falls due), if any. The wait sleeps until then as a thread sleeps: on a
  // simulated counter it lets that time pass (see LetTimePass) rather than
  // waiting for someone else to move the counter.
  virtual std::optional<int64_t> ReadyAt() = 0;
};

// The wait of WaitForMultipleObjects, ending also when `extra` (may be
// null) is ready: WAIT_OBJECT_0 + handles.size() then. With `waitAll` the
// objects must all be signalled and `extra` ready. Sets the last error on
// WAIT_FAILED.
DWORD WaitForObjects(std::span<const HANDLE> handles, bool waitAll, DWORD milliseconds,
                     WaitSource* extra);

}  // namespace ksv::platform::sync
