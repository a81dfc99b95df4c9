// A started camera driven by calling the driver's routines directly: the
// device extension in a zero-filled context with the simulated camera's
// registers plugged in under it, a simulated clock in 100-ns ticks, and
// helpers that build the camera's packets. Every test binary that links
// this runs with KSV_ROOT set to a fresh folder, so the driver's registry
// values land there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "codec/frame_format.h"
#include "driver/camera_device_extension.h"
#include "platform/kernel/performance_counter.h"
#include "simcam/camera_registers.h"

namespace ksv::driver::testing {

inline constexpr int64_t kTicksPerMs = 10'000;
inline constexpr int64_t kThirtyFps = 333'333;

class DriverFixture : public ::testing::Test {
 protected:
  DriverFixture();
  ~DriverFixture() override;

  // Allocates bandwidth for an output size and compression code with data
  // pipe packets of `packetSize`; returns the raw frame length.
  uint32_t OpenStream(codec::FrameSize output, uint32_t compression, int64_t interval,
                      uint16_t packetSize = 128);

  // Hands one packet to the packet routine with the fixture's frame context
  // (or none). Returns the bytes to copy; `complete` says whether it closed
  // a frame.
  uint32_t Send(std::vector<uint8_t> packet, int32_t status = 0, bool withContext = true);
  bool lastComplete() const { return lastComplete_; }

  std::vector<uint8_t> FrameStart(uint8_t statusByte = 0) const;
  std::vector<uint8_t> Data(uint8_t sequence) const;

  void At(int64_t ticks) { clock_.Set(ticks); }

  CameraDeviceExtension& extension() { return *extension_; }
  simcam::CameraRegisters& camera() { return camera_; }
  void* context() { return extension_; }
  uint32_t frameContext = 0;
  uint16_t packetSize = 128;

 private:
  platform::kernel::SimulatedPerformanceCounter clock_{10'000'000, 1'000 * kTicksPerMs};
  platform::kernel::ScopedPerformanceCounter useClock_{clock_};
  simcam::CameraRegisters camera_;
  CameraDeviceExtension* extension_ = nullptr;
  bool lastComplete_ = false;
};

// Packets of `frame` (15-byte header and entropy data) cut back to back as
// the class driver hands them to the raw-frame routine.
std::vector<uint8_t> RawFrame(const std::vector<uint8_t>& frame, uint16_t packetSize,
                              uint8_t statusByte = 0);

// A compressed frame of the test pattern at `size`, level 3.
std::vector<uint8_t> PatternFrame(codec::FrameSize size, uint32_t index = 0);

// A fresh system root for the test that is running.
void UseFreshSystemRoot();

}  // namespace ksv::driver::testing
