// The driver's state as published in "DriverStatus": 1 loaded, 2 configured,
// 3 initialised, 5 stream open, 7 stream closed, 8 removed or uninitialised.
#pragma once

#include <cstdint>

#include "driver/camera_device_extension.h"

namespace ksv::driver {

enum DriverState : uint32_t {
  kDriverLoaded = 1,
  kCameraConfigured = 2,
  kCameraInitialised = 3,
  kStreamOpen = 5,
  kStreamClosed = 7,
  kCameraRemoved = 8,
};

// Stores the state in the camera's extension (when there is one) and
// publishes it while there is no active camera or this one is active.
void SetDriverState(CameraDeviceExtension* extension, DriverState state);

}  // namespace ksv::driver
