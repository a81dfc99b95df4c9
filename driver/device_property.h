// One device property request as the handlers of the four property sets
// see it: the direction, the id, the request structure and the value
// buffer, and where the count of bytes returned goes.
#pragma once

#include <cstdint>
#include <span>

#include "driver/camera_device_extension.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::driver {

using platform::kernel::NTSTATUS;

struct PropertyRequest {
  bool isSet = false;
  uint32_t id = 0;
  std::span<const uint8_t> input;  // the request structure
  std::span<uint8_t> value;        // the value buffer
  uint32_t* bytesReturned = nullptr;
};

// Each answers STATUS_NOT_SUPPORTED for an id or direction it does not
// handle and for a value out of range, changing nothing.
NTSTATUS HandlePictureControl(CameraDeviceExtension& extension, const PropertyRequest& request);
NTSTATUS HandleCameraControl(CameraDeviceExtension& extension, const PropertyRequest& request);
NTSTATUS HandleVideoControl(CameraDeviceExtension& extension, const PropertyRequest& request);
NTSTATUS HandleCameraRecord(CameraDeviceExtension& extension, const PropertyRequest& request);

}  // namespace ksv::driver
