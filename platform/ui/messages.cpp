// Posting, sending, taking and dispatching messages; timers; waits for a
// message or an event.
#include <mutex>

#include "platform/sync/sync.h"
#include "platform/sync/waitable.h"
#include "platform/ui/controls/controls.h"
#include "platform/ui/input.h"
#include "platform/ui/keyboard.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/mouse.h"
#include "platform/ui/threads.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

// Answers one message another thread sent to this one; false when none
// waits. A window that has died meanwhile answers 0.
bool AnswerOneSent(MessageQueue& queue) {
  const std::shared_ptr<SentMessage> sent = queue.TakeSent();
  if (sent == nullptr) return false;
  std::shared_ptr<Window> window;
  {
    std::shared_lock guard(TableLock());
    window = FindLocked(sent->window);
  }
  LRESULT result = 0;
  if (window != nullptr && window->threadId == queue.threadId()) {
    result = CallProcedure(*window, sent->message, sent->wParam, sent->lParam);
  }
  sent->sender->Complete(*sent, result);
  return true;
}

// A send to another thread's window: waits for the answer, answering what
// is sent to this thread meanwhile.
LRESULT SendAcross(const Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  const std::shared_ptr<MessageQueue> own = CurrentQueue();
  auto sent = std::make_shared<SentMessage>();
  *sent = SentMessage{window.handle, message, wParam, lParam, own, 0, false};
  if (!window.queue->Send(sent)) return 0;  // its thread has ended
  for (;;) {
    if (const std::optional<LRESULT> result = own->ResultOf(*sent)) return *result;
    if (AnswerOneSent(*own)) continue;
    MessageQueue::AnswerSource source(*own, *sent);
    sync::WaitForObjects({}, false, INFINITE, &source);
  }
}

// A window filter must be null, (HWND)-1 or a window of the calling thread.
bool FilterIsFit(HWND window) {
  if (window == nullptr || window == kThreadMessagesOnly) return true;
  const std::shared_ptr<Window> record = Find(window);
  if (record == nullptr) return false;
  if (record->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

// What GetMessage and PeekMessage do on each look: answer sent messages,
// then take what the filter takes.
std::optional<MSG> Look(MessageQueue& queue, const MessageFilter& filter, bool remove) {
  while (AnswerOneSent(queue)) {
  }
  queue.NewKinds(/*clear=*/true);
  std::optional<MSG> taken = queue.Take(filter, remove);
  if (taken && remove) {
    NoteKeyMessage(*taken);
    NoteMouseMessage(*taken);
    // The pointer over a window that has not captured the mouse: the
    // window (or its parent) picks the cursor first.
    if (taken->hwnd != nullptr && taken->message >= WM_MOUSEFIRST && taken->message <= WM_MOUSELAST &&
        GetCapture() == nullptr) {
      SendMessageA(taken->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(taken->hwnd),
                   static_cast<LPARAM>(HTCLIENT | (LPARAM{taken->message} << 16)));
    }
  }
  return taken;
}

BOOL ReportPost(MessageQueue::PostResult result, DWORD closedError) {
  switch (result) {
    case MessageQueue::PostResult::Posted: return TRUE;
    case MessageQueue::PostResult::Full: SetLastError(ERROR_NOT_ENOUGH_QUOTA); return FALSE;
    case MessageQueue::PostResult::Closed: SetLastError(closedError); return FALSE;
  }
  return FALSE;
}

constexpr const char* kMessageWindowClass = "KsvMessageOnlyWindow";

}  // namespace

HWND CreateMessageOnlyWindow() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kMessageWindowClass;
    RegisterClassA(&windowClass);
  });
  return CreateWindowExA(0, kMessageWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         nullptr, nullptr);
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const DWORD time = MessageTime();
  if (window == nullptr) {
    return ReportPost(CurrentQueue()->Post(MSG{nullptr, message, wParam, lParam, time, PointerPosition()}),
                      ERROR_INVALID_THREAD_ID);
  }
  // Posted under the table's lock, so a window's destruction, which drops
  // its messages after it leaves the table, never leaves one behind.
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> record = FindLocked(window);
  if (record == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return ReportPost(record->queue->Post(MSG{window, message, wParam, lParam, time, PointerPosition()}),
                    ERROR_INVALID_WINDOW_HANDLE);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  const std::shared_ptr<MessageQueue> queue = QueueOfThread(threadId);
  if (queue == nullptr) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return ReportPost(queue->Post(MSG{nullptr, message, wParam, lParam, MessageTime(), PointerPosition()}),
                    ERROR_INVALID_THREAD_ID);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const std::shared_ptr<Window> record = Find(window);
  if (record == nullptr) return 0;
  if (record->threadId == GetCurrentThreadId()) return CallProcedure(*record, message, wParam, lParam);
  return SendAcross(*record, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) { CurrentQueue()->PostQuit(exitCode); }

BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!FilterIsFit(window)) return -1;
  const std::shared_ptr<MessageQueue> queue = CurrentQueue();
  const MessageFilter filter{window, filterMin, filterMax};
  for (;;) {
    if (const std::optional<MSG> taken = Look(*queue, filter, /*remove=*/true)) {
      *message = *taken;
      return taken->message == WM_QUIT ? FALSE : TRUE;
    }
    MessageQueue::FilterSource source(*queue, filter);
    ksv::platform::sync::WaitForObjects({}, false, INFINITE, &source);
  }
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!FilterIsFit(window)) return FALSE;
  const std::optional<MSG> taken =
      Look(*CurrentQueue(), MessageFilter{window, filterMin, filterMax}, (remove & PM_REMOVE) != 0);
  if (!taken) return FALSE;
  *message = *taken;
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (message->message == WM_TIMER && message->lParam != 0) {
    // Only a timer that still exists with this procedure is called.
    const auto procedure = reinterpret_cast<TIMERPROC>(message->lParam);
    if (CurrentQueue()->HasTimer(message->hwnd, message->wParam, procedure)) {
      procedure(message->hwnd, WM_TIMER, message->wParam, message->time);
    }
    return 0;
  }
  if (message->hwnd == nullptr) return 0;  // a thread message has no procedure
  const std::shared_ptr<Window> window = Find(message->hwnd);
  if (window == nullptr) return 0;
  if (window->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
    return 0;
  }
  if (message->message == input::kButtonAtMessage) {
    const auto x = static_cast<int16_t>(message->lParam & 0xFFFF);
    const auto y = static_cast<int16_t>((message->lParam >> 16) & 0xFFFF);
    if (message->wParam == input::kMoveAtParam) {
      input::MoveAt(message->hwnd, x, y);
    } else {
      input::ButtonAt(message->hwnd, x, y, message->wParam != 0);
    }
    return 0;
  }
  return CallProcedure(*window, message->message, message->wParam, message->lParam);
}

DWORD GetQueueStatus(UINT flags) {
  const std::shared_ptr<MessageQueue> queue = CurrentQueue();
  const UINT current = queue->Kinds() & flags;
  const UINT arrived = queue->NewKinds(/*clear=*/true) & flags;
  return current << 16 | arrived;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure) {
  if (window != nullptr) {
    const std::shared_ptr<Window> record = Find(window);
    if (record == nullptr) return 0;
    if (record->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    std::shared_lock guard(TableLock());
    if (record->state != WindowState::Alive) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  }
  return CurrentQueue()->SetTimer(window, id, milliseconds, procedure);
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  std::shared_ptr<MessageQueue> queue;
  if (window == nullptr) {
    queue = CurrentQueue();
  } else {
    const std::shared_ptr<Window> record = Find(window);
    if (record == nullptr) return FALSE;
    queue = record->queue;
  }
  if (!queue->KillTimer(window, id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
  if (count > 0 && handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  const std::shared_ptr<MessageQueue> queue = CurrentQueue();
  MessageQueue::KindSource source(*queue, wakeMask);
  return ksv::platform::sync::WaitForObjects({handles, count}, waitAll != FALSE, milliseconds, &source);
}

}  // extern "C"
