#include "platform/usbcamd/class_driver.h"

namespace ksv::platform::usbcamd {
namespace {

constexpr uint32_t kMaxDeviceContextSize = 64 * 1024;
constexpr uint32_t kMaxFrameContextSize = 64;

bool HasEveryRoutine(const USBCAMD_DEVICE_DATA& data) {
  return data.CamInitialize && data.CamUnInitialize && data.CamProcessUSBPacket &&
         data.CamNewVideoFrame && data.CamProcessRawVideoFrame && data.CamStartCapture &&
         data.CamStopCapture && data.CamConfigure && data.CamSaveState && data.CamRestoreState &&
         data.CamAllocateBandwidth && data.CamFreeBandwidth;
}

}  // namespace

NTSTATUS USBCAMD_DriverEntry(DRIVER_OBJECT* driverObject, void* /*registryPath*/,
                             uint32_t deviceContextSize, uint32_t frameContextSize,
                             const USBCAMD_DEVICE_DATA* deviceData,
                             PHW_RECEIVE_DEVICE_SRB adapterReceivePacket) {
  if (driverObject == nullptr || driverObject->DriverExtension == nullptr ||
      deviceData == nullptr) {
    return kernel::STATUS_INVALID_PARAMETER;
  }
  if (deviceData->Sig != 0 || !HasEveryRoutine(*deviceData) || deviceContextSize == 0 ||
      deviceContextSize > kMaxDeviceContextSize || frameContextSize > kMaxFrameContextSize) {
    return kernel::STATUS_INVALID_PARAMETER;
  }
  auto* classDriver = static_cast<ClassDriver*>(driverObject->DriverExtension);
  classDriver->deviceData_ = *deviceData;
  classDriver->deviceContextSize_ = deviceContextSize;
  classDriver->frameContextSize_ = frameContextSize;
  classDriver->adapterReceivePacket_ = adapterReceivePacket;
  classDriver->registered_ = true;
  return kernel::STATUS_SUCCESS;
}

void StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE, void*,
                                   HW_STREAM_REQUEST_BLOCK* srb) {
  if (srb != nullptr) srb->Completed = true;
}

void StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE, HW_STREAM_OBJECT*,
                                   HW_STREAM_REQUEST_BLOCK* srb) {
  if (srb != nullptr) srb->Completed = true;
}

}  // namespace ksv::platform::usbcamd
