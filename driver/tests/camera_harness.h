// The driver on the camera rig with the simulated camera plugged in: the
// camera's whole life driven through stream class requests, on a simulated
// clock whose waits take no real time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/frame_format.h"
#include "driver/camera_device_extension.h"
#include "platform/usbcamd/camera.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::driver::testing {

class CameraHarness : public ::testing::Test {
 protected:
  CameraHarness();
  ~CameraHarness() override;

  // Plugs in a camera that behaves as told (replacing any earlier one).
  void Plug(simcam::CameraBehaviour behaviour = {});
  platform::kernel::NTSTATUS Open(codec::FrameSize size = {320, 240},
                                  uint32_t compression = codec::kCompressionI420,
                                  int64_t interval = 0);
  // Runs the bus until `count` frames are delivered or `busFrames` pass;
  // returns the frames delivered.
  std::vector<std::vector<uint8_t>> Stream(size_t count, uint64_t busFrames = 2'000);

  // The driver's registry value, or nothing when absent.
  static std::optional<uint32_t> Value(const std::string& name);
  static void SetValue(const std::string& name, uint32_t value);
  static void DeleteValue(const std::string& name);

  platform::usbcamd::UsbCamdCamera& camera() { return rig_->Camera(); }
  simcam::CameraRegisters& registers() { return device_->Registers(); }
  CameraDeviceExtension& extension() { return rig_->Extension(); }
  // "DriverStatus" as published, in order.
  std::vector<uint32_t> states() const { return rig_->DriverStates(); }
  // The simulated clock every wait of the driver follows (100-ns ticks).
  platform::kernel::SimulatedPerformanceCounter& clock() { return rig_->Clock(); }

 private:
  std::unique_ptr<simcam::SimulatedCamera> device_;
  std::unique_ptr<rig::CameraRig> rig_;
};

}  // namespace ksv::driver::testing
