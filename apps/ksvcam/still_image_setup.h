// What the camera's still-image software installs: the download library's
// English texts beside it in the system folder, the device interface of
// the camera's kernel driver for values, and the camera's still-image
// device with its minidriver's class (OKSV1WIA registers nothing itself).
#pragma once

#include <functional>
#include <string>

namespace ksv::ksvcam {

// Installs both, saying each on `print`. Throws CommandFailure when the
// driver's module is missing or a file cannot be written.
void InstallStillImageSoftware(const std::function<void(const std::string&)>& print);
// Whether the still-image device is registered (a client registers it on
// first use, as setup would).
bool StillImageDeviceRegistered();
// Unregisters the device interface and the still-image device (the texts stay, as files an uninstaller
// leaves); says what it did on `print`.
void UninstallStillImageSoftware(const std::function<void(const std::string&)>& print);

}  // namespace ksv::ksvcam
