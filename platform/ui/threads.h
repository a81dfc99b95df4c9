// The message queue of each thread: made on the thread's first call, closed
// when the thread ends (its windows destroyed without messages, waiting
// senders answered with 0).
#pragma once

#include <memory>

#include "include/win32_types.h"

namespace ksv::platform::ui {

class MessageQueue;

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
// The queue of a thread that has one and has not ended, or null.
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);

}  // namespace ksv::platform::ui
