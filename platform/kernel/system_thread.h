// System threads: a driver starts one with a routine and a context, gets a
// handle, and closes the handle with ZwClose (which here also waits for the
// thread to have left its routine, so nothing runs against freed memory).
#pragma once

#include <cstddef>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

using PKSTART_ROUTINE = void (*)(void* context);

struct KTHREAD;

NTSTATUS PsCreateSystemThread(HANDLE* threadHandle, PKSTART_ROUTINE startRoutine, void* context);

// The calling system thread; null on a thread the kernel did not start.
KTHREAD* KeGetCurrentThread();
// Sets a thread's priority (0..31); returns the previous one (8 at start).
int32_t KeSetPriorityThread(KTHREAD* thread, int32_t priority);
int32_t KeQueryPriorityThread(const KTHREAD* thread);

// Closes a handle the kernel gave out (a thread or a file).
NTSTATUS ZwClose(HANDLE handle);

// System threads started and not yet closed.
size_t LiveSystemThreadCount();

// What every kernel handle points to.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

}  // namespace ksv::platform::kernel
