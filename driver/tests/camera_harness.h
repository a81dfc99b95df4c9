// The driver loaded into the class driver stand-in with the simulated
// camera plugged in, on a simulated clock whose waits take no real time:
// the camera's whole life driven through stream class requests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/frame_format.h"
#include "driver/camera_device_extension.h"
#include "platform/kernel/performance_counter.h"
#include "platform/usbcamd/camera.h"
#include "simcam/camera_registers.h"
#include "simcam/camera_video.h"

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

  platform::usbcamd::UsbCamdCamera& camera() { return *camera_; }
  simcam::CameraRegisters& registers() { return *registers_; }
  CameraDeviceExtension& extension();
  // The simulated clock every wait of the driver follows (100-ns ticks).
  platform::kernel::SimulatedPerformanceCounter& clock() { return clock_; }

  std::vector<uint32_t> states;  // "DriverStatus" as published, in order

 private:
  platform::kernel::SimulatedPerformanceCounter clock_{10'000'000, 0, true};
  platform::kernel::ScopedPerformanceCounter useClock_{clock_};
  platform::usbcamd::ClassDriver classDriver_;
  std::unique_ptr<simcam::Scene> scene_ = simcam::TestPatternScene();
  std::unique_ptr<simcam::CameraRegisters> registers_;
  std::unique_ptr<simcam::CameraVideo> video_;
  std::unique_ptr<platform::usbcamd::UsbCamdCamera> camera_;
};

}  // namespace ksv::driver::testing
