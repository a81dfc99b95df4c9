// What the camera's scanner-interface software installs in its folder
// (TWAIN_32/Orvan/KSV1 under the system root, where the driver writes its
// raw snapshot file): the data source "KSVCam.ds", its profile
// "KSVCam.pro", its English texts "KSVCam.loc" and the company logo and its
// mask the acquisition window draws.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace ksv::ksvcam {

// The folder, as the system sees it.
std::filesystem::path ScannerInterfaceFolder();

// Installs the files, saying each on `print`. Throws CommandFailure when the
// data source's module is missing or a file cannot be written.
void InstallScannerInterface(const std::function<void(const std::string&)>& print);

// The data source's module as built, beside ksvcam (lib/ksv/KSVCam.ds).
std::filesystem::path DataSourceModule();

}  // namespace ksv::ksvcam
