// System work items: a routine that a driver queues from its completion path
// to run later at passive level on a system worker thread. Here the worker's
// turn is explicit (RunQueuedWorkItems), so runs are reproducible.
#pragma once

#include <cstddef>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

using PIO_WORKITEM_ROUTINE = void (*)(DEVICE_OBJECT* deviceObject, void* context);

enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1 };

struct IO_WORKITEM;

// Allocates a work item for `deviceObject`; null when memory is short.
IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* deviceObject);

// Frees an item. An item still queued is taken off the queue first and its
// routine never runs, so a device going away cannot be called back.
void IoFreeWorkItem(IO_WORKITEM* item);

// Queues `routine(deviceObject, context)`. Allocates nothing. Queueing an
// item that is already queued is a driver fault that would crash the
// system: the process stops with a message.
void IoQueueWorkItem(IO_WORKITEM* item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queueType,
                     void* context);

// The system worker's turn: runs the routines queued so far, oldest first,
// including any they queue themselves. Returns how many ran.
size_t RunQueuedWorkItems();

size_t QueuedWorkItemCount();

}  // namespace ksv::platform::kernel
