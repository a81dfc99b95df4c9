// The camera's button thread: one system thread per camera, started at
// device start, that wakes every 100 ms while the camera is the active one
// and its state is below 8. What it does on each wake is the button poll
// (RunButtonPoll); it ends promptly when asked, raising its priority and
// signalling its exit event as it leaves.
#pragma once

#include "driver/camera_device_extension.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::driver {

using ButtonPoll = void (*)(CameraDeviceExtension& extension);

// Installs what the thread does on each wake (null: nothing).
void InstallButtonPoll(ButtonPoll poll);

platform::kernel::NTSTATUS StartButtonThread(CameraDeviceExtension& extension);
// Asks the thread to end, waits for its exit event and closes its handle.
// Does nothing when no thread runs.
void StopButtonThread(CameraDeviceExtension& extension);

}  // namespace ksv::driver
