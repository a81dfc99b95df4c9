// The graph's event queue: what filters report through the event sink,
// after the graph's default handling, waiting for the application. Putting
// an event in posts the notify window's message (if one is set) and
// signals the application's event handle (if it asked for one); the handle
// stays signalled while the queue holds events. The message goes through
// the windows layer (platform/ui), the handle is an event of platform/sync:
// both shared libraries, so the application's windows and waits are the
// ones this module sees.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "include/win32_types.h"

namespace ksv::media::graph {

struct QueuedEvent {
  int32_t code;
  intptr_t param1;
  intptr_t param2;
};

class EventQueue {
 public:
  EventQueue() = default;
  ~EventQueue();  // closes the event handle; the events left must be freed by the owner
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // False when events are switched off (the event was not queued).
  bool Put(const QueuedEvent& event);
  // The oldest event, waiting up to `milliseconds` on the installed
  // counter (nullopt: no limit); nothing once the time is up.
  std::optional<QueuedEvent> Take(std::optional<int64_t> milliseconds);
  // The first event `wanted` accepts, waiting as Take does; the events
  // before it are taken out and handed to `drop` (with the queue's lock
  // held: it may only free them).
  std::optional<QueuedEvent> TakeFirst(std::optional<int64_t> milliseconds,
                                       const std::function<bool(const QueuedEvent&)>& wanted,
                                       const std::function<void(const QueuedEvent&)>& drop);
  // Each event left, oldest first, taken out (to free their parameters).
  std::optional<QueuedEvent> TakeNow() { return Take(0); }

  // Window, message and lParam of the notify message; a null window stops
  // the messages.
  void SetNotifyWindow(HWND window, UINT message, intptr_t instanceData);
  // AM_MEDIAEVENT_NONOTIFY: no queueing at all, the platform documents that
  // events are then discarded and the event handle stays unsignalled.
  void SetNoNotify(bool on);
  bool NoNotify();
  // The manual-reset event (platform/sync) signalled while events wait,
  // made on first use; null when it cannot be made.
  HANDLE EventHandle();

 private:
  // With the lock held, after the queue changed.
  void SignalLocked();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<QueuedEvent> events_;
  HWND window_ = nullptr;
  UINT message_ = 0;
  intptr_t instanceData_ = 0;
  HANDLE handle_ = nullptr;
  bool noNotify_ = false;
};

}  // namespace ksv::media::graph
