// The simulated camera as this machine's hardware. `ksvcam setup` lists its
// hardware module (lib/ksv/ksvsimcam.so beside ksvcam's bin/ folder) in the
// machine's device list, so that every program that links the camera
// libraries finds it. On first use, when no camera is listed, ksvcam lists
// it as setup would, or, when the module is not there (a test program),
// plugs a simulated camera in itself.
#pragma once

#include <filesystem>

namespace ksv::ksvcam {

inline constexpr const char* kSimulatedCameraName = "RMC900 USB Camera (simulated)";

// Where the simulated camera's hardware module lies beside this program.
std::filesystem::path SimulatedCameraModule();

// Lists the module; throws CommandFailure when it is missing.
void ListSimulatedCamera();
// Removes it from the list; false when it was not listed.
bool UnlistSimulatedCamera();

// Makes sure a camera with stored items is on the machine (see above).
void EnsureMachineCamera();

}  // namespace ksv::ksvcam
