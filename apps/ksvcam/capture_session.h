// A whole capture from the simulated camera on the camera rig (rig/), the
// way the system runs one: the driver's whole life, frames as they come,
// on a simulated bus clock, so it comes out the same on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/ksvcam/capture_snapshot.h"
#include "codec/frame_format.h"
#include "outside/camprop/control_client.h"
#include "rig/camera_rig.h"
#include "simcam/camera_registers.h"
#include "support/picture/picture.h"

namespace ksv::ksvcam {

struct CaptureSettings {
  codec::FrameSize size{320, 240};
  uint32_t compression = codec::kCompressionI420;
  uint16_t bitCount = 12;
  int64_t interval = 333'333;   // the stream's frame interval, 100-ns units; 0: no pacing
  uint32_t frames = 30;         // delivered frames to take
  double cameraFramesPerSecond = 30;
  std::vector<picture::RgbPicture> photos;  // the scene; none: the moving test pattern
  simcam::CameraBehaviour camera;          // how the camera answers (faults for tests)
  SnapshotPlan snapshot;                   // a snapshot during the capture, or none
  // Controls set (as manual) through the driver before the stream opens.
  std::vector<std::pair<const outside::camprop::ControlDescription*, int32_t>> controls;
  // Asked after each frame: true ends the capture there, as a whole one.
  std::function<bool()> stop;
};

// What the stream delivered (rig::RigStatistics) and what the driver did
// around it.
struct CaptureReport : rig::RigStatistics {
  std::vector<uint32_t> driverStates;     // "DriverStatus" as the driver published it
  double streamingSeconds = 0;            // real time from capture start to the last frame
  double cameraSeconds = 0;               // of it, the simulated camera making its frames
  std::optional<uint64_t> snapshotFrame;  // the frame the driver wrote its snapshot from
};

// Called with each delivered frame (as the driver returned it) and its
// number from 1.
using CapturedFrameHandler =
    std::function<void(std::span<const uint8_t> frame, bool damaged, uint64_t number)>;

// Throws CommandFailure naming the step that failed and its status.
CaptureReport RunCapture(const CaptureSettings& settings, const CapturedFrameHandler& onFrame);

}  // namespace ksv::ksvcam
