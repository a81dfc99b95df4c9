// Taking a snapshot: the step the raw-frame routine runs for a good frame
// while a snapshot is requested. It decodes the frame again into the
// snapshot buffer, writes the raw snapshot file and serves one request, in
// this order: a waiting property request (woken through the snapshot-written
// event; any other request waits for a later frame), else a registry request
// ("SnapShoot" := 0, "SnapShot" := 1), else the button ("SnapShot" := 1).
// A frame that does not decode leaves every request set for the next one.
#pragma once

#include <cstdint>
#include <span>

#include "driver/camera_device_extension.h"

namespace ksv::driver {

void TakeSnapshot(CameraDeviceExtension& extension, std::span<const uint8_t> assembledFrame);

// Makes TakeSnapshot the raw-frame routine's snapshot step.
void InstallSnapshotTaking();

}  // namespace ksv::driver
