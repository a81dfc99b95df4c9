// The "Button" work item: the packet routine runs at dispatch level and may
// not touch the registry, so when the camera's status byte changes it queues
// this item, which publishes the byte later at passive level.
#pragma once

#include "driver/camera_device_extension.h"

namespace ksv::driver {

inline constexpr const char* kButtonValueName = "Button";

// Queues the write unless it is already queued; the queued write publishes
// whatever LastStatusByte holds when it runs, so one pending write covers
// any number of changes. Does nothing before the item is allocated.
void QueueButtonWrite(CameraDeviceExtension& extension);

}  // namespace ksv::driver
