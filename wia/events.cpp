// The event thread: once a second it follows a new root folder and polls
// the button, and signals the service's event when the button was pressed.
//
// The device's original ran this thread on a 2,048-byte stack; threads
// here get the platform's default stack.
#include <strings.h>

#include <system_error>

#include "platform/sync/sync.h"
#include "platform/ui/user32.h"
#include "wia/driver_values.h"
#include "wia/usd_device.h"

namespace ksv::wia {

namespace {

constexpr DWORD kPollMilliseconds = 1000;

// One poll at a time in the process.
std::atomic<bool> polling{false};

// Whether the button was pressed for us: "TimerTrigger" 1 (the driver saw
// the button) while the camera is not streaming, and no other camera
// application (whose window class is "KSVWindowclass") runs to take it.
// The trigger is reset either way.
bool PollButton() {
  if (polling.exchange(true)) return false;
  bool raised = false;
  if (ReadDriverDword("DriverStatus") != kCameraStreaming && ReadDriverDword("TimerTrigger") == 1) {
    // A trigger that cannot be reset would raise the event every second.
    raised = WriteDriverDword("TimerTrigger", 0) && FindWindowA("KSVWindowclass", nullptr) == nullptr;
  }
  polling.store(false);
  return raised;
}

}  // namespace

void TestUsdDevice::RunEvents() {
  for (;;) {
    const DWORD waited = WaitForSingleObject(stopEvent_, kPollMilliseconds);
    {
      // Read under the tree's lock, which a change of folder holds while it
      // writes the registry.
      std::lock_guard lock(treeLock_);
      const std::string path = ReadWiaRootPath();
      if (!path.empty() && strcasecmp(path.c_str(), rootFolder_.c_str()) != 0) {
        rootFolder_ = path;
        DeleteItemTree();
        BuildItemTree();
      }
    }
    if (waited == WAIT_OBJECT_0) return;
    if (PollButton()) {
      if (HANDLE notification = notification_.load()) {
        SetLastEvent(WIA_EVENT_SNAPSHOT_BUTTON);
        SetEvent(notification);
      }
    }
  }
}

HRESULT TestUsdDevice::SetNotificationHandle(HANDLE event) {
  std::lock_guard lock(notificationLock_);
  if (event != nullptr && event != INVALID_HANDLE_VALUE) {
    notification_.store(event);
    SetLastEvent(GUID{});
    if (!events_.joinable()) {
      ResetEvent(stopEvent_);
      try {
        events_ = std::thread([this] { RunEvents(); });
      } catch (const std::system_error&) {
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);  // no thread to be had
      }
    }
    return S_OK;
  }
  StopEvents();
  SetLastEvent(GUID{});
  return S_OK;
}

void TestUsdDevice::StopEvents() {
  if (!events_.joinable()) return;
  SetEvent(stopEvent_);
  // The thread sees the stop at its next wait, after at most one poll: it
  // is waited for, never left running on a device that goes.
  events_.join();
}

}  // namespace ksv::wia
