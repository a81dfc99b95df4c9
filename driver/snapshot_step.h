// The snapshot step the raw-frame routine runs for a delivered frame while a
// snapshot is requested (button, registry or a waiting property request).
// The step that writes the raw snapshot file is installed here; until one
// is, the requests stay set and each later frame offers itself again.
#pragma once

#include <cstdint>
#include <span>

#include "driver/camera_device_extension.h"

namespace ksv::driver {

using SnapshotStep = void (*)(CameraDeviceExtension& extension,
                              std::span<const uint8_t> assembledFrame);

// Installs `step` (null removes it).
void InstallSnapshotStep(SnapshotStep step);

bool SnapshotRequested(const CameraDeviceExtension& extension);

// Runs the installed step with the frame as assembled.
void RunSnapshotStep(CameraDeviceExtension& extension, std::span<const uint8_t> assembledFrame);

}  // namespace ksv::driver
