// The simulated camera as hardware: its USB side (the registers that answer
// vendor requests and switch alternate settings, the video it sends on its
// data pipe, the snapshot button) and its stored memory. SimulatedCamera is
// the USB device; SimulatedCameraDevice is the whole device as the machine
// finds it, the one the hardware module makes.
#pragma once

#include <memory>
#include <mutex>

#include "outside/bulk/memory/memory_source.h"
#include "platform/hardware/hardware_device.h"
#include "platform/usbcamd/usb_device.h"
#include "simcam/camera_registers.h"
#include "simcam/camera_video.h"

namespace ksv::simcam {

class SimulatedCamera final : public platform::usbcamd::UsbDevice {
 public:
  // A camera that answers as `behaviour` says and photographs `scene` (the
  // moving test pattern when null) at `framesPerSecond`.
  explicit SimulatedCamera(CameraBehaviour behaviour = {}, std::unique_ptr<Scene> scene = nullptr,
                           double framesPerSecond = 30);

  int32_t VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                        std::span<uint8_t> data) override;
  bool SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) override;
  platform::usbcamd::IsochronousPacket NextIsochronousPacket() override;

  CameraRegisters& Registers() { return registers_; }
  const CameraVideo& Video() const { return video_; }

 private:
  CameraRegisters registers_;
  std::unique_ptr<Scene> scene_;
  CameraVideo video_;
};

class SimulatedCameraDevice final : public platform::hardware::HardwareDevice {
 public:
  static constexpr const char* kName = "RMC900 USB Camera (simulated)";

  std::string_view Name() const override { return kName; }
  // The USB camera, and the stored items (made from the test photographs
  // when first asked for).
  void* Function(std::string_view interfaceName) override;
  // Making, compressing and cutting its frames.
  double WorkSeconds() const override { return camera_.Video().WorkSeconds(); }

 private:
  SimulatedCamera camera_;
  std::once_flag memoryMade_;
  std::unique_ptr<outside::bulk::HeldMemory> memory_;
};

}  // namespace ksv::simcam
