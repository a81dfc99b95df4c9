#include "platform/kernel/system_thread.h"

#include <atomic>
#include <new>
#include <thread>

namespace ksv::platform::kernel {

struct KTHREAD final : KernelObject {
  std::thread thread;
  std::atomic<int32_t> priority{8};
  ~KTHREAD() override {
    if (thread.joinable()) thread.join();
  }
};

namespace {

std::atomic<size_t> liveThreads{0};
thread_local KTHREAD* currentThread = nullptr;

}  // namespace

NTSTATUS PsCreateSystemThread(HANDLE* threadHandle, PKSTART_ROUTINE startRoutine, void* context) {
  if (threadHandle == nullptr || startRoutine == nullptr) return STATUS_INVALID_PARAMETER;
  auto* object = new (std::nothrow) KTHREAD;
  if (object == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  try {
    object->thread = std::thread([object, startRoutine, context] {
      currentThread = object;
      startRoutine(context);
    });
  } catch (...) {
    delete object;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  ++liveThreads;
  *threadHandle = static_cast<KernelObject*>(object);
  return STATUS_SUCCESS;
}

KTHREAD* KeGetCurrentThread() { return currentThread; }

int32_t KeSetPriorityThread(KTHREAD* thread, int32_t priority) {
  return thread == nullptr ? 0 : thread->priority.exchange(priority);
}

int32_t KeQueryPriorityThread(const KTHREAD* thread) {
  return thread == nullptr ? 0 : thread->priority.load();
}

NTSTATUS ZwClose(HANDLE handle) {
  if (handle == nullptr) return STATUS_INVALID_HANDLE;
  auto* object = static_cast<KernelObject*>(handle);
  if (dynamic_cast<KTHREAD*>(object) != nullptr) --liveThreads;
  delete object;
  return STATUS_SUCCESS;
}

size_t LiveSystemThreadCount() { return liveThreads.load(); }

}  // namespace ksv::platform::kernel
