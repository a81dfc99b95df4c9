#include "platform/kernel/work_item.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace ksv::platform::kernel {

struct IO_WORKITEM {
  DEVICE_OBJECT* deviceObject = nullptr;
  PIO_WORKITEM_ROUTINE routine = nullptr;
  void* context = nullptr;
  bool queued = false;
  IO_WORKITEM* next = nullptr;  // in the queue, so queueing allocates nothing
};

namespace {

struct WorkQueue {
  std::mutex lock;
  IO_WORKITEM* head = nullptr;
  IO_WORKITEM* tail = nullptr;
  // Changed under the lock; read without it by the worker, which runs after
  // every bus frame and mostly finds nothing queued.
  std::atomic<size_t> count = 0;
};

WorkQueue& Queue() {
  static WorkQueue queue;
  return queue;
}

[[noreturn]] void DriverFault(const char* what) {
  std::fprintf(stderr, "kernel: driver fault: %s\n", what);
  std::abort();
}

// Takes the oldest item off the queue; null when empty.
IO_WORKITEM* Dequeue() {
  WorkQueue& queue = Queue();
  if (queue.count.load(std::memory_order_relaxed) == 0) return nullptr;
  std::lock_guard guard(queue.lock);
  IO_WORKITEM* item = queue.head;
  if (item == nullptr) return nullptr;
  queue.head = item->next;
  if (queue.head == nullptr) queue.tail = nullptr;
  item->next = nullptr;
  item->queued = false;  // the routine may queue it again
  --queue.count;
  return item;
}

}  // namespace

IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* deviceObject) {
  auto* item = new (std::nothrow) IO_WORKITEM;
  if (item != nullptr) item->deviceObject = deviceObject;
  return item;
}

void IoFreeWorkItem(IO_WORKITEM* item) {
  if (item == nullptr) return;
  {
    WorkQueue& queue = Queue();
    std::lock_guard guard(queue.lock);
    IO_WORKITEM* previous = nullptr;
    for (IO_WORKITEM* at = queue.head; at != nullptr; previous = at, at = at->next) {
      if (at != item) continue;
      (previous == nullptr ? queue.head : previous->next) = at->next;
      if (queue.tail == at) queue.tail = previous;
      --queue.count;
      break;
    }
  }
  delete item;
}

void IoQueueWorkItem(IO_WORKITEM* item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE,
                     void* context) {
  WorkQueue& queue = Queue();
  std::lock_guard guard(queue.lock);
  if (item->queued) DriverFault("a work item was queued while already queued");
  item->routine = routine;
  item->context = context;
  item->queued = true;
  if (queue.tail == nullptr) {
    queue.head = item;
  } else {
    queue.tail->next = item;
  }
  queue.tail = item;
  ++queue.count;
}

size_t RunQueuedWorkItems() {
  size_t ran = 0;
  while (IO_WORKITEM* item = Dequeue()) {
    item->routine(item->deviceObject, item->context);
    ++ran;
  }
  return ran;
}

size_t QueuedWorkItemCount() {
  std::lock_guard guard(Queue().lock);
  return Queue().count;
}

}  // namespace ksv::platform::kernel
