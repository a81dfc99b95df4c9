#include "driver/button_poll.h"
#include "driver/camera_device_extension.h"
#include "driver/driver_status.h"
#include "driver/frame_tag.h"
#include "driver/routines.h"
#include "driver/snapshot_take.h"

namespace ksv::driver {

const platform::usbcamd::USBCAMD_DEVICE_DATA& DeviceData() {
  static const platform::usbcamd::USBCAMD_DEVICE_DATA table = {
      0,
      CamInitialize,
      CamUnInitialize,
      CamProcessUSBPacket,
      CamNewVideoFrame,
      CamProcessRawVideoFrame,
      CamStartCapture,
      CamStopCapture,
      CamConfigure,
      CamSaveState,
      CamRestoreState,
      CamAllocateBandwidth,
      CamFreeBandwidth,
  };
  return table;
}

NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, void* registryPath) {
  SetDriverState(nullptr, kDriverLoaded);
  InstallSnapshotTaking();
  InstallButtonPolling();
  return platform::usbcamd::USBCAMD_DriverEntry(driverObject, registryPath, kDeviceContextSize,
                                                kFrameContextSize, &DeviceData(),
                                                AdapterReceivePacket);
}

}  // namespace ksv::driver
