#include "driver/camera_requests.h"

#include "platform/kernel/timing.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::driver {
namespace {

using platform::kernel::NT_SUCCESS;

constexpr int64_t kTenMilliseconds = 100'000;  // 100-ns units
constexpr int kReadyPolls = 100;

NTSTATUS Vendor(CameraDeviceExtension& extension, uint8_t request, uint16_t value,
                uint16_t index, uint8_t* data, uint32_t length, bool in) {
  uint32_t transferred = length;
  const NTSTATUS status = platform::usbcamd::USBCAMD_ControlVendorCommand(
      &extension, request, value, index, data, data != nullptr ? &transferred : nullptr, in,
      nullptr, nullptr);
  if (!NT_SUCCESS(status)) {
    extension.LastError = status;
    return status;
  }
  // An answer shorter than asked for is as good as none.
  if (in && transferred < length) {
    extension.LastError = platform::kernel::STATUS_DEVICE_DATA_ERROR;
    return platform::kernel::STATUS_DEVICE_DATA_ERROR;
  }
  return status;
}

}  // namespace

NTSTATUS SendCameraRequest(CameraDeviceExtension& extension, uint8_t request, uint16_t value,
                           uint16_t index) {
  return Vendor(extension, request, value, index, nullptr, 0, false);
}

NTSTATUS WriteCameraRegister(CameraDeviceExtension& extension, uint16_t address, uint16_t value) {
  return SendCameraRequest(extension, camera_request::kRegister, value, address);
}

NTSTATUS ReadCameraRegister(CameraDeviceExtension& extension, uint16_t address, uint8_t* data,
                            uint32_t length) {
  return Vendor(extension, camera_request::kRegister, 0, address, data, length, true);
}

NTSTATUS ReadCameraVendor(CameraDeviceExtension& extension, uint8_t request, uint16_t value,
                          uint16_t index, uint8_t* data, uint32_t length) {
  return Vendor(extension, request, value, index, data, length, true);
}

NTSTATUS ReadCameraStatus(CameraDeviceExtension& extension, uint8_t& answer) {
  return Vendor(extension, camera_request::kStatus, 0, 1, &answer, 1, true);
}

void WaitTenMilliseconds() { platform::kernel::KeDelayExecutionThread(-kTenMilliseconds); }

NTSTATUS WaitUntilCameraReady(CameraDeviceExtension& extension, ReadyWait wait) {
  for (int poll = 0; poll < kReadyPolls; ++poll) {
    if (wait == ReadyWait::kBusyWait) {
      platform::kernel::BusyWaitOnPerformanceCounter(kTenMilliseconds);
    } else {
      WaitTenMilliseconds();
    }
    uint8_t busy = 1;
    const NTSTATUS status = Vendor(extension, camera_request::kBusy, 0, 0, &busy, 1, true);
    if (!NT_SUCCESS(status)) return status;
    if (busy == 0) return platform::kernel::STATUS_SUCCESS;
  }
  return platform::kernel::STATUS_UNSUCCESSFUL;
}

NTSTATUS EnterStreaming(CameraDeviceExtension& extension) {
  const NTSTATUS status = SendCameraRequest(extension, camera_request::kEnterStreaming, 0, 0);
  return NT_SUCCESS(status) ? WaitUntilCameraReady(extension, ReadyWait::kSleep) : status;
}

NTSTATUS LeaveStreaming(CameraDeviceExtension& extension) {
  const NTSTATUS status = SendCameraRequest(extension, camera_request::kLeaveStreaming, 0, 0);
  return NT_SUCCESS(status) ? WaitUntilCameraReady(extension, ReadyWait::kSleep) : status;
}

}  // namespace ksv::driver
