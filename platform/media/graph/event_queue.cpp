#include "platform/media/graph/event_queue.h"

#include "platform/media/graph/counter_wait.h"
#include "platform/sync/sync.h"
#include "platform/ui/user32.h"

namespace ksv::media::graph {

EventQueue::~EventQueue() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

bool EventQueue::Put(const QueuedEvent& event) {
  HWND window = nullptr;
  UINT message = 0;
  intptr_t instanceData = 0;
  {
    std::lock_guard guard(mutex_);
    if (noNotify_) return false;
    events_.push_back(event);
    SignalLocked();
    window = window_;
    message = message_;
    instanceData = instanceData_;
  }
  changed_.notify_all();
  // Posted with no lock held: a window procedure may call back at once.
  if (window != nullptr) {
    PostMessageA(window, message, 0, instanceData);
  }
  return true;
}

std::optional<QueuedEvent> EventQueue::TakeFirst(std::optional<int64_t> milliseconds,
                                                 const std::function<bool(const QueuedEvent&)>& wanted,
                                                 const std::function<void(const QueuedEvent&)>& drop) {
  std::unique_lock lock(mutex_);
  const auto found = [&] {
    while (!events_.empty()) {
      if (wanted(events_.front())) return true;
      drop(events_.front());
      events_.pop_front();
    }
    return false;
  };
  const bool ready = WaitOnCounter(lock, changed_, milliseconds, found);
  std::optional<QueuedEvent> event;
  if (ready) {
    event = events_.front();
    events_.pop_front();
  }
  SignalLocked();
  return event;
}

std::optional<QueuedEvent> EventQueue::Take(std::optional<int64_t> milliseconds) {
  std::unique_lock lock(mutex_);
  if (!WaitOnCounter(lock, changed_, milliseconds, [this] { return !events_.empty(); })) {
    return std::nullopt;
  }
  const QueuedEvent event = events_.front();
  events_.pop_front();
  SignalLocked();
  return event;
}

void EventQueue::SetNotifyWindow(HWND window, UINT message, intptr_t instanceData) {
  bool waiting = false;
  {
    std::lock_guard guard(mutex_);
    window_ = window;
    message_ = message;
    instanceData_ = instanceData;
    waiting = !events_.empty();
  }
  // Events already waiting get one message between them.
  if (waiting && window != nullptr) {
    PostMessageA(window, message, 0, instanceData);
  }
}

void EventQueue::SetNoNotify(bool on) {
  std::lock_guard guard(mutex_);
  noNotify_ = on;
}

bool EventQueue::NoNotify() {
  std::lock_guard guard(mutex_);
  return noNotify_;
}

HANDLE EventQueue::EventHandle() {
  std::lock_guard guard(mutex_);
  if (handle_ == nullptr) {
    handle_ = CreateEventA(nullptr, TRUE, events_.empty() ? FALSE : TRUE, nullptr);
  }
  return handle_;
}

void EventQueue::SignalLocked() {
  if (handle_ == nullptr) return;
  if (!events_.empty()) {
    SetEvent(handle_);
  } else {
    ResetEvent(handle_);
  }
}

}  // namespace ksv::media::graph
