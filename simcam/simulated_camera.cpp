#include "simcam/simulated_camera.h"

#include "simcam/default_memory.h"

namespace ksv::simcam {

SimulatedCamera::SimulatedCamera(CameraBehaviour behaviour, std::unique_ptr<Scene> scene,
                                 double framesPerSecond)
    : registers_(std::move(behaviour)),
      scene_(scene ? std::move(scene) : TestPatternScene()),
      video_(registers_, *scene_, framesPerSecond) {}

int32_t SimulatedCamera::VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                                       std::span<uint8_t> data) {
  return registers_.VendorRequest(in, request, value, index, data);
}

bool SimulatedCamera::SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) {
  return registers_.SelectAlternateSetting(setting, maximumPacketSize);
}

platform::usbcamd::IsochronousPacket SimulatedCamera::NextIsochronousPacket() {
  IsoPacket& packet = video_.NextPacket();
  return {packet.status, packet.bytes};
}

void* SimulatedCameraDevice::Function(std::string_view interfaceName) {
  if (interfaceName == platform::usbcamd::kUsbDeviceInterface) return &camera_;
  if (interfaceName == outside::bulk::kStoredItemSourceInterface) {
    std::call_once(memoryMade_, [this] {
      memory_ = std::make_unique<outside::bulk::HeldMemory>(DefaultCameraMemory(DefaultPhotosDir()));
    });
    return memory_.get();
  }
  return nullptr;
}

}  // namespace ksv::simcam
