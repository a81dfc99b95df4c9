// Events behind handles.
#include <memory>

#include "platform/sync/sync.h"
#include "platform/sync/waitable.h"

namespace ksv::platform::sync {
namespace {

class Event final : public WaitableObject {
 public:
  Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  bool SignalledLocked() const override { return signalled_; }
  void TakeLocked() override {
    if (!manualReset_) signalled_ = false;
  }

  void Set() {
    std::lock_guard guard(lock());
    signalled_ = true;
    NotifyWaitersLocked();
  }
  void Reset() {
    std::lock_guard guard(lock());
    signalled_ = false;
  }

 private:
  const bool manualReset_;
  bool signalled_;
};

// The event behind `handle`, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<Event> EventOf(HANDLE handle) {
  auto event = std::dynamic_pointer_cast<Event>(ObjectOf(handle));
  if (event == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

}  // namespace
}  // namespace ksv::platform::sync

using ksv::platform::sync::Event;
using ksv::platform::sync::EventOf;

extern "C" {

HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name) {
  if (attributes != nullptr || name != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ksv::platform::sync::OpenHandle(
      std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE handle) {
  const std::shared_ptr<Event> event = EventOf(handle);
  if (event == nullptr) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  const std::shared_ptr<Event> event = EventOf(handle);
  if (event == nullptr) return FALSE;
  event->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return ksv::platform::sync::WaitForObjects({&handle, 1}, false, milliseconds, nullptr);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return ksv::platform::sync::WaitForObjects({handles, count}, waitAll != FALSE, milliseconds,
                                             nullptr);
}

}  // extern "C"
