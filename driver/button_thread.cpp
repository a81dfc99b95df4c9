#include "driver/button_thread.h"

#include <atomic>

#include "driver/driver_status.h"
#include "driver/module_state.h"
#include "platform/kernel/event.h"
#include "platform/kernel/system_thread.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;

constexpr int64_t kPollInterval = 1'000'000;  // 100 ms in 100-ns units
constexpr int32_t kLeavingPriority = 16;

std::atomic<ButtonPoll> installedPoll{nullptr};

bool KeepPolling(const CameraDeviceExtension& extension) {
  return IsActiveCamera(&extension) && SharedLoad(extension.StateNumber) < kCameraRemoved;
}

void ButtonThreadMain(void* context) {
  auto& extension = *static_cast<CameraDeviceExtension*>(context);
  while (KeepPolling(extension)) {
    // The 100-ms sleep, cut short when the device stops.
    if (kernel::KeWaitForSingleObject(&extension.ButtonThreadStop, kPollInterval) ==
        kernel::STATUS_SUCCESS) {
      break;
    }
    if (!KeepPolling(extension)) break;
    if (ButtonPoll poll = installedPoll.load()) poll(extension);
  }
  kernel::KeSetPriorityThread(kernel::KeGetCurrentThread(), kLeavingPriority);
  kernel::KeSetEvent(&extension.ButtonThreadExit);
}

}  // namespace

void InstallButtonPoll(ButtonPoll poll) { installedPoll.store(poll); }

kernel::NTSTATUS StartButtonThread(CameraDeviceExtension& extension) {
  kernel::KeInitializeEvent(&extension.ButtonThreadExit, kernel::NotificationEvent, false);
  kernel::KeInitializeEvent(&extension.ButtonThreadStop, kernel::NotificationEvent, false);
  return kernel::PsCreateSystemThread(&extension.ButtonThread, ButtonThreadMain, &extension);
}

void StopButtonThread(CameraDeviceExtension& extension) {
  if (extension.ButtonThread == nullptr) return;
  kernel::KeSetEvent(&extension.ButtonThreadStop);
  kernel::KeWaitForSingleObject(&extension.ButtonThreadExit, std::nullopt);
  kernel::ZwClose(extension.ButtonThread);
  extension.ButtonThread = nullptr;
}

}  // namespace ksv::driver
