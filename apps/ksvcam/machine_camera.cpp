#include "apps/ksvcam/machine_camera.h"

#include <cstdlib>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/media_setup.h"
#include "include/oksv1dnl.h"
#include "outside/bulk/memory/memory_source.h"
#include "platform/hardware/device_list.h"
#include "platform/usbcamd/camera_stack.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;
namespace hardware = platform::hardware;

fs::path SimulatedCameraModule() {
  const fs::path folder = ModuleFolder();
  return folder.empty() ? fs::path() : folder / "ksvsimcam.so";
}

void ListSimulatedCamera() {
  const fs::path module = SimulatedCameraModule();
  std::error_code error;
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure("the simulated camera's hardware module '" + module.string() +
                         "' is missing");
  }
  hardware::ListModule(kSimulatedCameraName, module);
}

bool UnlistSimulatedCamera() { return hardware::UnlistModule(kSimulatedCameraName); }

fs::path CameraDriverModule() {
  const fs::path folder = ModuleFolder();
  return folder.empty() ? fs::path() : folder / "oksv1vid.so";
}

void RegisterMachineCameraDriver() {
  const fs::path module = CameraDriverModule();
  std::error_code error;
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure("the camera driver's module '" + module.string() + "' is missing");
  }
  platform::usbcamd::RegisterCameraDriver({module, kCameraDriverName});
}

bool UnregisterMachineCameraDriver() { return platform::usbcamd::UnregisterCameraDriver(); }

void EnsureMachineCamera() {
  if (hardware::FindFunction(outside::bulk::kStoredItemSourceInterface) != nullptr) return;
  std::error_code error;
  if (hardware::ListedModules().empty() && fs::is_regular_file(SimulatedCameraModule(), error)) {
    ListSimulatedCamera();
    if (hardware::FindFunction(outside::bulk::kStoredItemSourceInterface) != nullptr) return;
  }
  // Plugged in for the life of the process, as a module's device would be.
  static auto* camera = new simcam::SimulatedCameraDevice;
  hardware::PlugDevice(camera);
}

std::string ChooseCamera(const std::string& memoryFile) {
  if (!memoryFile.empty()) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(memoryFile, error)) {
      throw CommandFailure("no camera memory image '" + memoryFile + "'");
    }
    BULK_UseCameraMemory(memoryFile.c_str());
    return "'" + memoryFile + "'";
  }
  BULK_UseCameraMemory(nullptr);
  const char* image = std::getenv("KSV_CAMERA_MEMORY");
  if (image != nullptr && *image != '\0') return std::string("'") + image + "'";
  EnsureMachineCamera();
  return "the simulated camera";
}

std::unique_ptr<platform::usbcamd::CameraStack> StartMachineCamera() {
  namespace usb = platform::usbcamd;
  if (hardware::ListedModules().empty()) ListSimulatedCamera();
  if (!usb::RegisteredCameraDriver()) RegisterMachineCameraDriver();
  for (hardware::HardwareDevice* found : hardware::EnumerateDevices().devices) {
    if (auto* device = static_cast<usb::UsbDevice*>(found->Function(usb::kUsbDeviceInterface))) {
      std::string error;
      std::unique_ptr<usb::CameraStack> stack = usb::CameraStack::Start(*device, &error);
      if (!stack) throw CommandFailure("the camera does not start: " + error);
      return stack;
    }
  }
  throw CommandFailure("there is no camera on the machine");
}

}  // namespace ksv::ksvcam
