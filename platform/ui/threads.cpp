#include "platform/ui/threads.h"

#include <mutex>
#include <unordered_map>

#include "platform/sync/sync.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

struct QueueRegistry {
  std::mutex mutex;
  std::unordered_map<DWORD, std::weak_ptr<MessageQueue>> queues;
};

QueueRegistry& Registry() {
  static QueueRegistry* registry = new QueueRegistry;  // threads end after static destructors
  return *registry;
}

// A thread's end: its windows go without their procedures being called (its
// code may be gone), then its queue closes.
void EndThread(const std::shared_ptr<MessageQueue>& queue) {
  {
    QueueRegistry& registry = Registry();
    std::lock_guard guard(registry.mutex);
    registry.queues.erase(queue->threadId());
  }
  for (const std::shared_ptr<Window>& window : WindowsOfThread(queue->threadId())) {
    std::vector<std::shared_ptr<Window>> tree{window};
    {
      std::unique_lock lock(TableLock());
      for (size_t i = 0; i < tree.size(); ++i) {
        for (HWND child : tree[i]->children) {
          if (auto record = FindLocked(child)) tree.push_back(record);
        }
      }
      for (auto it = tree.rbegin(); it != tree.rend(); ++it) RemoveLocked(**it);
    }
    for (const auto& gone : tree) {
      gone->queue->ForgetWindow(gone->handle);
      NotifyWindowChanged(gone->handle, WindowChange::Destroyed);
    }
  }
  for (const std::shared_ptr<SentMessage>& sent : queue->Close()) sent->sender->Complete(*sent, 0);
}

struct ThreadContext {
  std::shared_ptr<MessageQueue> queue;
  ~ThreadContext() {
    if (queue != nullptr) EndThread(queue);
  }
};

thread_local ThreadContext context;

}  // namespace

std::shared_ptr<MessageQueue> CurrentQueue() {
  if (context.queue == nullptr) {
    context.queue = std::make_shared<MessageQueue>(GetCurrentThreadId());
    QueueRegistry& registry = Registry();
    std::lock_guard guard(registry.mutex);
    registry.queues[context.queue->threadId()] = context.queue;
  }
  return context.queue;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
  QueueRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  const auto found = registry.queues.find(threadId);
  return found == registry.queues.end() ? nullptr : found->second.lock();
}

}  // namespace ksv::platform::ui
