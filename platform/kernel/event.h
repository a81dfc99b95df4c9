// Kernel events. A KEVENT lives in memory the driver owns (a zero-filled
// device extension is fine) and needs no clean-up. A notification event
// stays signalled until reset and releases every waiter; a synchronisation
// event releases one waiter and resets itself.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

enum EVENT_TYPE : int32_t { NotificationEvent = 0, SynchronizationEvent = 1 };

struct KEVENT {
  int32_t Signalled;  // waited on with the futex call
  int32_t Type;
};

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool signalled);
// Returns the previous state (1 signalled, 0 not).
int32_t KeSetEvent(KEVENT* event);
int32_t KeResetEvent(KEVENT* event);
int32_t KeReadStateEvent(const KEVENT* event);

// Waits until the event is signalled: STATUS_SUCCESS, or STATUS_TIMEOUT
// once `timeout` 100-ns units have passed on the performance counter that is
// installed when the wait begins (no time-out: waits for ever). On a
// simulated counter (performance_counter.h) the time-out passes only as
// something else moves the counter (a test, the simulated bus, a replay):
// the waiter takes no real time of its own. When another counter is
// installed (or the waited one uninstalled) during the wait, the time-out is
// over.
NTSTATUS KeWaitForSingleObject(KEVENT* event, std::optional<int64_t> timeout);

}  // namespace ksv::platform::kernel
