// What the button thread does on each 100-ms wake.
//
// With no stream open (states 1, 2, 3 and 7) and the camera powered, it asks
// the camera for its status byte and, when the byte changed, publishes it
// as "Button", latches "TimerTrigger" = 1 for a byte with bit 5 (button) or
// bit 7 set, and follows the mode bit (bit 4) in ModeIndicator. While a
// stream is open (states 4 to 6) the frames carry the button, so it only
// turns "SnapShoot" = 1 into a registry snapshot request.
#pragma once

#include "driver/camera_device_extension.h"

namespace ksv::driver {

void PollButton(CameraDeviceExtension& extension);

// Makes PollButton what the button thread does.
void InstallButtonPolling();

}  // namespace ksv::driver
