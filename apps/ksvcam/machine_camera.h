// The simulated camera as this machine's hardware. `ksvcam setup` lists its
// hardware module (lib/ksv/ksvsimcam.so beside ksvcam's bin/ folder) in the
// machine's device list, so that every program that links the camera
// libraries finds it. On first use, when no camera is listed, ksvcam lists
// it as setup would, or, when the module is not there (a test program),
// plugs a simulated camera in itself.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace ksv::platform::usbcamd {
class CameraStack;
}

namespace ksv::ksvcam {

inline constexpr const char* kSimulatedCameraName = "RMC900 USB Camera (simulated)";

// Where the simulated camera's hardware module lies beside this program
// (in ModuleFolder(), media_setup.h).
std::filesystem::path SimulatedCameraModule();

// Lists the module; throws CommandFailure when it is missing.
void ListSimulatedCamera();
// Removes it from the list; false when it was not listed.
bool UnlistSimulatedCamera();

// The camera driver: `ksvcam setup` registers its module
// (lib/ksv/oksv1vid.so) as the driver of the machine's USB cameras, which
// capture applications load to run the camera.
inline constexpr const char* kCameraDriverName = "RMC900 USB Camera";
std::filesystem::path CameraDriverModule();
// Registers it; throws CommandFailure when the module is missing.
void RegisterMachineCameraDriver();
// Removes the registration; false when there was none.
bool UnregisterMachineCameraDriver();

// Makes sure a camera with stored items is on the machine (see above).
void EnsureMachineCamera();

// The machine's camera plugged (listed and its driver registered as `setup`
// does when nobody did) and started under its driver, not streaming, as
// every program that hosts the camera brings it up. Throws CommandFailure
// when there is no camera or it does not start.
std::unique_ptr<platform::usbcamd::CameraStack> StartMachineCamera();

// Chooses the camera of the camera access library's next contexts: the
// memory image `memoryFile`, else the one KSV_CAMERA_MEMORY names, else the
// machine's camera. Returns what it is for messages. Throws CommandFailure
// for a missing file.
std::string ChooseCamera(const std::string& memoryFile);

}  // namespace ksv::ksvcam
