// What the camera's still-image software installs: the download library's
// English texts beside it in the system folder, and the device interface of
// the camera's kernel driver for values.
#pragma once

#include <functional>
#include <string>

namespace ksv::ksvcam {

// Installs both, saying each on `print`. Throws CommandFailure when the
// driver's module is missing or a file cannot be written.
void InstallStillImageSoftware(const std::function<void(const std::string&)>& print);
// Unregisters the device interface (the texts stay, as files an uninstaller
// leaves); says what it did on `print`.
void UninstallStillImageSoftware(const std::function<void(const std::string&)>& print);

}  // namespace ksv::ksvcam
