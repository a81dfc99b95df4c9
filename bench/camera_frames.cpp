#include "bench/camera_frames.h"

#include <cstdio>
#include <cstdlib>

#include "driver/frame_assembly.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::bench {
namespace {

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "camera frames: %s\n", why);
  std::exit(1);
}

}  // namespace

std::vector<std::vector<uint8_t>> CameraFrames(codec::FrameSize size, size_t count) {
  simcam::SimulatedCamera device;
  rig::CameraRig rig{{.device = &device}};
  if (rig.Start() != 0 || rig.Open({size, rig::kCompressionPassThrough, 12, 0}) != 0) {
    Fail("the camera rig did not open a pass-through stream");
  }
  std::vector<std::vector<uint8_t>> frames;
  while (frames.size() < count) {
    const auto frame = rig.NextFrame();
    if (!frame) Fail("the camera sent no frame");
    // The driver's pass-through header, then the frame as the camera sent it.
    if (frame->data.size() <= driver::kPassThroughHeaderSize) Fail("a short frame");
    frames.emplace_back(frame->data.begin() + driver::kPassThroughHeaderSize, frame->data.end());
  }
  rig.Close();
  rig.Stop();
  return frames;
}

}  // namespace ksv::bench
