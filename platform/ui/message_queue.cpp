#include "platform/ui/message_queue.h"

#include <algorithm>

#include "platform/kernel/performance_counter.h"

namespace ksv::platform::ui {
namespace {

namespace kernel = ksv::platform::kernel;

int64_t Now() { return kernel::KeQueryPerformanceCounter(nullptr); }

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

UINT KindOf(UINT message) {
  return IsKeyMessage(message) ? QS_KEY : QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
}

}  // namespace

DWORD MessageTime() {
  int64_t frequency = 0;
  const int64_t counter = kernel::KeQueryPerformanceCounter(&frequency);
  __extension__ using Wide = __int128;
  return static_cast<DWORD>(static_cast<Wide>(counter) * 1000 / frequency);
}

bool MessageFilter::Takes(HWND hwnd, UINT message) const {
  if (window == kThreadMessagesOnly) {
    if (hwnd != nullptr) return false;
  } else if (window != nullptr && hwnd != window) {
    return false;
  }
  if (first == 0 && last == 0) return true;
  return message >= first && message <= last;
}

MessageQueue::PostResult MessageQueue::Post(const MSG& message) {
  std::lock_guard guard(mutex_);
  if (closed_) return PostResult::Closed;
  if (posted_.size() >= kPostQuota) return PostResult::Full;
  posted_.push_back(message);
  NotifyLocked(KindOf(message.message));
  return PostResult::Posted;
}

void MessageQueue::PostFirst(const MSG& message) {
  std::lock_guard guard(mutex_);
  if (closed_) return;
  posted_.push_front(message);
  NotifyLocked(KindOf(message.message));
}

void MessageQueue::PostQuit(int exitCode) {
  std::lock_guard guard(mutex_);
  quit_ = true;
  quitCode_ = exitCode;
  NotifyLocked(QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
}

bool MessageQueue::Send(const std::shared_ptr<SentMessage>& sent) {
  std::lock_guard guard(mutex_);
  if (closed_) return false;
  sent_.push_back(sent);
  NotifyLocked(QS_SENDMESSAGE);
  return true;
}

std::shared_ptr<SentMessage> MessageQueue::TakeSent() {
  std::lock_guard guard(mutex_);
  if (sent_.empty()) return nullptr;
  std::shared_ptr<SentMessage> sent = std::move(sent_.front());
  sent_.pop_front();
  return sent;
}

void MessageQueue::Complete(SentMessage& sent, LRESULT result) {
  std::lock_guard guard(mutex_);
  sent.result = result;
  sent.done = true;
  waiters_.NotifyAll();
}

std::optional<LRESULT> MessageQueue::ResultOf(const SentMessage& sent) {
  std::lock_guard guard(mutex_);
  if (!sent.done) return std::nullopt;
  return sent.result;
}

std::optional<MSG> MessageQueue::Take(const MessageFilter& filter, bool remove) {
  std::lock_guard guard(mutex_);
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!filter.Takes(it->hwnd, it->message)) continue;
    const MSG message = *it;
    if (remove) posted_.erase(it);
    return message;
  }
  if (quit_) {
    if (remove) quit_ = false;
    return MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0, MessageTime(), {}};
  }
  for (auto it = needsPaint_.begin(); it != needsPaint_.end(); ++it) {
    if (!filter.Takes(*it, WM_PAINT)) continue;
    const MSG message{*it, WM_PAINT, 0, 0, MessageTime(), {}};
    if (remove) needsPaint_.erase(it);
    return message;
  }
  const int64_t now = Now();
  const Timer* due = DueTimerLocked(&filter, now);
  if (due == nullptr) return std::nullopt;
  const MSG message{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->procedure),
                    MessageTime(), {}};
  if (remove) {
    // However late, one tick; the next falls on the next whole period.
    Timer& timer = const_cast<Timer&>(*due);
    timer.due += timer.period * ((now - timer.due) / timer.period + 1);
  }
  return message;
}

UINT MessageQueue::Kinds() {
  std::lock_guard guard(mutex_);
  return KindsLocked(Now());
}

UINT MessageQueue::NewKinds(bool clear) {
  std::lock_guard guard(mutex_);
  const UINT kinds = newKinds_ & KindsLocked(Now());
  if (clear) newKinds_ = 0;
  return kinds;
}

UINT_PTR MessageQueue::SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
  milliseconds = std::clamp(milliseconds, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  int64_t frequency = 0;
  const int64_t now = kernel::KeQueryPerformanceCounter(&frequency);
  const int64_t period =
      std::max<int64_t>(1, kernel::IntervalToTicks(int64_t{milliseconds} * 10'000, frequency));
  std::lock_guard guard(mutex_);
  if (closed_) return 0;
  auto existing = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  if (window == nullptr && existing == timers_.end()) {
    // A thread timer gets an identifier of its own.
    do {
      id = ++lastThreadTimer_;
    } while (id == 0 || std::any_of(timers_.begin(), timers_.end(), [&](const Timer& timer) {
               return timer.window == nullptr && timer.id == id;
             }));
  }
  const Timer timer{window, id, period, now + period, procedure};
  if (existing != timers_.end()) {
    *existing = timer;
  } else {
    timers_.push_back(timer);
  }
  NotifyLocked(0);
  return id != 0 ? id : 1;
}

bool MessageQueue::KillTimer(HWND window, UINT_PTR id) {
  std::lock_guard guard(mutex_);
  const auto found = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  if (found == timers_.end()) return false;
  timers_.erase(found);
  return true;
}

bool MessageQueue::HasTimer(HWND window, UINT_PTR id, TIMERPROC procedure) {
  std::lock_guard guard(mutex_);
  return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id && timer.procedure == procedure;
  });
}

void MessageQueue::SetNeedsPaint(HWND window, bool needs) {
  std::lock_guard guard(mutex_);
  // Marked again, a window goes last: an invalidation lists a parent
  // before its children, and so they are painted after it.
  std::erase(needsPaint_, window);
  if (needs && !closed_) {
    needsPaint_.push_back(window);
    NotifyLocked(QS_PAINT);
  }
}

void MessageQueue::ForgetWindow(HWND window) {
  std::lock_guard guard(mutex_);
  std::erase(needsPaint_, window);
  std::erase_if(timers_, [&](const Timer& timer) { return timer.window == window; });
  std::erase_if(posted_, [&](const MSG& message) { return message.hwnd == window; });
}

std::vector<std::shared_ptr<SentMessage>> MessageQueue::Close() {
  std::lock_guard guard(mutex_);
  closed_ = true;
  posted_.clear();
  timers_.clear();
  needsPaint_.clear();
  quit_ = false;
  std::vector<std::shared_ptr<SentMessage>> waiting(sent_.begin(), sent_.end());
  sent_.clear();
  return waiting;
}

void MessageQueue::NotifyLocked(UINT kind) {
  newKinds_ |= kind;
  waiters_.NotifyAll();
}

UINT MessageQueue::KindsLocked(int64_t now) const {
  UINT kinds = 0;
  for (const MSG& message : posted_) {
    kinds |= KindOf(message.message);
    if (kinds == (QS_KEY | QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) break;
  }
  if (quit_) kinds |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  if (!sent_.empty()) kinds |= QS_SENDMESSAGE;
  if (!needsPaint_.empty()) kinds |= QS_PAINT;
  if (DueTimerLocked(nullptr, now) != nullptr) kinds |= QS_TIMER;
  return kinds;
}

const MessageQueue::Timer* MessageQueue::DueTimerLocked(const MessageFilter* filter,
                                                         int64_t now) const {
  const Timer* earliest = nullptr;
  for (const Timer& timer : timers_) {
    if (timer.due > now) continue;
    if (filter != nullptr && !filter->Takes(timer.window, WM_TIMER)) continue;
    if (earliest == nullptr || timer.due < earliest->due) earliest = &timer;
  }
  return earliest;
}

std::optional<int64_t> MessageQueue::NextDueLocked(const MessageFilter* filter) const {
  std::optional<int64_t> next;
  for (const Timer& timer : timers_) {
    if (filter != nullptr && !filter->Takes(timer.window, WM_TIMER)) continue;
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

bool MessageQueue::FilterSource::Ready() {
  std::lock_guard guard(queue_.mutex_);
  if (!queue_.sent_.empty() || queue_.quit_) return true;
  for (const MSG& message : queue_.posted_) {
    if (filter_.Takes(message.hwnd, message.message)) return true;
  }
  for (HWND window : queue_.needsPaint_) {
    if (filter_.Takes(window, WM_PAINT)) return true;
  }
  return queue_.DueTimerLocked(&filter_, Now()) != nullptr;
}

std::optional<int64_t> MessageQueue::FilterSource::ReadyAt() {
  std::lock_guard guard(queue_.mutex_);
  return queue_.NextDueLocked(&filter_);
}

bool MessageQueue::KindSource::Ready() { return (queue_.Kinds() & mask_) != 0; }

std::optional<int64_t> MessageQueue::KindSource::ReadyAt() {
  if ((mask_ & QS_TIMER) == 0) return std::nullopt;
  std::lock_guard guard(queue_.mutex_);
  return queue_.NextDueLocked(nullptr);
}

bool MessageQueue::AnswerSource::Ready() {
  std::lock_guard guard(queue_.mutex_);
  return sent_.done || !queue_.sent_.empty();
}

void MessageQueue::QueueSource::AddWaiter(sync::Waiter* waiter) {
  std::lock_guard guard(queue_.mutex_);
  queue_.waiters_.Add(waiter);
}

void MessageQueue::QueueSource::RemoveWaiter(sync::Waiter* waiter) {
  std::lock_guard guard(queue_.mutex_);
  queue_.waiters_.Remove(waiter);
}

}  // namespace ksv::platform::ui
