// The USB camera class driver as loaded for one minidriver: what the
// minidriver registered through USBCAMD_DriverEntry.
#pragma once

#include <cstdint>

#include "platform/usbcamd/usbcamd.h"

namespace ksv::platform::usbcamd {

class ClassDriver {
 public:
  ClassDriver() { driverObject_.DriverExtension = this; }
  ClassDriver(const ClassDriver&) = delete;
  ClassDriver& operator=(const ClassDriver&) = delete;

  // The driver object to give the minidriver's entry point.
  DRIVER_OBJECT* DriverObject() { return &driverObject_; }

  bool IsRegistered() const { return registered_; }
  const USBCAMD_DEVICE_DATA& DeviceData() const { return deviceData_; }
  uint32_t DeviceContextSize() const { return deviceContextSize_; }
  uint32_t FrameContextSize() const { return frameContextSize_; }
  PHW_RECEIVE_DEVICE_SRB AdapterReceivePacket() const { return adapterReceivePacket_; }

 private:
  friend NTSTATUS USBCAMD_DriverEntry(DRIVER_OBJECT*, void*, uint32_t, uint32_t,
                                      const USBCAMD_DEVICE_DATA*, PHW_RECEIVE_DEVICE_SRB);

  DRIVER_OBJECT driverObject_;
  USBCAMD_DEVICE_DATA deviceData_;
  uint32_t deviceContextSize_ = 0;
  uint32_t frameContextSize_ = 0;
  PHW_RECEIVE_DEVICE_SRB adapterReceivePacket_ = nullptr;
  bool registered_ = false;
};

}  // namespace ksv::platform::usbcamd
