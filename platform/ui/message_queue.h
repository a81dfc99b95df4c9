// A thread's message queue: posted messages in order, messages other
// threads sent and wait on, a pending quit, and the thread's timers. Any
// thread posts or sends to it; only its owner takes from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/sync/waitable.h"
#include "platform/ui/user32.h"

namespace ksv::platform::ui {

// Posted messages a queue holds at most (the platform's default quota).
inline constexpr size_t kPostQuota = 10'000;

class MessageQueue;

// A message another thread sent and waits on. `result` and `done` are
// guarded by the sender's queue.
struct SentMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::shared_ptr<MessageQueue> sender;
  LRESULT result = 0;
  bool done = false;
};

// The window a GetMessage or PeekMessage names to take only the messages
// posted to the thread itself.
inline const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

// Which messages a GetMessage or PeekMessage takes.
struct MessageFilter {
  HWND window = nullptr;  // null: any; (HWND)-1: thread messages only
  UINT first = 0;
  UINT last = 0;  // 0, 0: every message
  bool Takes(HWND hwnd, UINT message) const;
};

class MessageQueue {
 public:
  explicit MessageQueue(DWORD threadId) : threadId_(threadId) {}
  DWORD threadId() const { return threadId_; }

  enum class PostResult { Posted, Closed, Full };
  PostResult Post(const MSG& message);
  // Put before every other posted message (a translated character).
  void PostFirst(const MSG& message);
  void PostQuit(int exitCode);

  // From another thread: false when the queue is closed.
  bool Send(const std::shared_ptr<SentMessage>& sent);
  // The owner's next message sent by another thread, or null.
  std::shared_ptr<SentMessage> TakeSent();
  // Called on the sender's queue when the receiver has answered.
  void Complete(SentMessage& sent, LRESULT result);
  // On the sender's queue: the answer, once there is one.
  std::optional<LRESULT> ResultOf(const SentMessage& sent);

  // The next posted message, WM_QUIT, WM_PAINT or due timer the filter
  // takes (a WM_PAINT taken with `remove` stops being offered).
  std::optional<MSG> Take(const MessageFilter& filter, bool remove);
  // The QS_* kinds of input waiting; `clearNew` forgets which arrived since
  // the last look (the low word of GetQueueStatus).
  UINT Kinds();
  UINT NewKinds(bool clear);

  // Timers of the owner thread's windows, or of the thread (window null).
  UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
  bool KillTimer(HWND window, UINT_PTR id);
  bool HasTimer(HWND window, UINT_PTR id, TIMERPROC procedure);
  // Whether a window of the owner waits for WM_PAINT (painting.cpp keeps
  // its update region); they are offered in the order last marked. Any
  // thread.
  void SetNeedsPaint(HWND window, bool needs);

  // A window's end: its timers and the messages posted to it go.
  void ForgetWindow(HWND window);

  // The thread's end: no more posts or sends; returns the sends that were
  // waiting, for the caller to answer.
  std::vector<std::shared_ptr<SentMessage>> Close();

  // Waits for this queue, for the platform/sync waits.
  class QueueSource;
  class FilterSource;
  class KindSource;
  class AnswerSource;

 private:
  struct Timer {
    HWND window;
    UINT_PTR id;
    int64_t period;  // counter ticks
    int64_t due;     // counter value
    TIMERPROC procedure;
  };

  void NotifyLocked(UINT kind);
  UINT KindsLocked(int64_t now) const;
  const Timer* DueTimerLocked(const MessageFilter* filter, int64_t now) const;
  std::optional<int64_t> NextDueLocked(const MessageFilter* filter) const;

  const DWORD threadId_;
  std::mutex mutex_;
  sync::WaiterList waiters_;
  bool closed_ = false;
  std::deque<MSG> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  bool quit_ = false;
  int quitCode_ = 0;
  UINT newKinds_ = 0;
  std::vector<Timer> timers_;
  UINT_PTR lastThreadTimer_ = 0;
  std::vector<HWND> needsPaint_;  // in the order they were invalidated
};

// What every wait on a queue shares: the queue wakes its waiters whenever
// something arrives; each kind of wait says what it is waiting for.
class MessageQueue::QueueSource : public sync::WaitSource {
 public:
  explicit QueueSource(MessageQueue& queue) : queue_(queue) {}
  void AddWaiter(sync::Waiter* waiter) override;
  void RemoveWaiter(sync::Waiter* waiter) override;

 protected:
  MessageQueue& queue_;
};

// A wait that ends when the filter would take a message (or a message was
// sent to the thread).
class MessageQueue::FilterSource final : public MessageQueue::QueueSource {
 public:
  FilterSource(MessageQueue& queue, const MessageFilter& filter)
      : QueueSource(queue), filter_(filter) {}
  bool Ready() override;
  std::optional<int64_t> ReadyAt() override;

 private:
  const MessageFilter filter_;
};

// A wait that ends when input of the QS_* kinds in `mask` is in the queue.
class MessageQueue::KindSource final : public MessageQueue::QueueSource {
 public:
  KindSource(MessageQueue& queue, UINT mask) : QueueSource(queue), mask_(mask) {}
  bool Ready() override;
  std::optional<int64_t> ReadyAt() override;

 private:
  const UINT mask_;
};

// A sender's wait: ends when its message is answered or another thread
// sends it one.
class MessageQueue::AnswerSource final : public MessageQueue::QueueSource {
 public:
  AnswerSource(MessageQueue& queue, const SentMessage& sent) : QueueSource(queue), sent_(sent) {}
  bool Ready() override;
  std::optional<int64_t> ReadyAt() override { return std::nullopt; }

 private:
  const SentMessage& sent_;
};

// Milliseconds on the installed performance counter (MSG::time).
DWORD MessageTime();

}  // namespace ksv::platform::ui
