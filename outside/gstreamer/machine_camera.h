// The machine's camera as a GStreamer process hosts it. The driver lives in
// the process that runs it, so the source element brings the camera up
// itself: on a machine nobody set up it lists the simulated camera and
// registers the driver from the modules beside the plug-in (lib/ksv/), as
// `ksvcam setup` would; then it holds the camera for the process (another
// live process holding it makes it "in use") and starts the driver on it.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/usbcamd/camera_stack.h"

namespace ksv::outside::gstreamer {

enum class CameraProblem { kMissing, kInUse, kFailed };

// Why the camera cannot be had, in one line a person reads.
class CameraError : public std::runtime_error {
 public:
  CameraError(CameraProblem problem, const std::string& message)
      : std::runtime_error(message), problem_(problem) {}
  CameraProblem problem() const { return problem_; }

 private:
  CameraProblem problem_;
};

// A camera of the machine: its device name (what `device-name` picks) and
// the name capture programs call it by (the registered driver's).
struct MachineCamera {
  std::string deviceName;
  std::string displayName;
};

// The cameras on the machine now, setting the machine up first as above.
std::vector<MachineCamera> MachineCameras();

// An output the driver's intersection accepts: a size, I420 or 24-bit, and
// the frame intervals (100-ns units) its range allows.
struct CameraOutput {
  uint32_t width = 0;
  uint32_t height = 0;
  bool rgb = false;
  int64_t shortestInterval = 0;
  int64_t longestInterval = 0;
};

class HostedCamera {
 public:
  // The camera named `deviceName` (empty: the first), held and started.
  // Throws CameraError.
  static std::unique_ptr<HostedCamera> Open(const std::string& deviceName);
  ~HostedCamera();
  HostedCamera(const HostedCamera&) = delete;
  HostedCamera& operator=(const HostedCamera&) = delete;

  const std::string& DeviceName() const { return deviceName_; }
  // Each size the driver's ranges give through its intersection, as I420
  // and as 24-bit frames.
  const std::vector<CameraOutput>& Outputs() const { return outputs_; }
  platform::usbcamd::CameraStack& Stack() { return *stack_; }

 private:
  HostedCamera(int holdFile, std::string deviceName,
               std::unique_ptr<platform::usbcamd::CameraStack> stack);

  int holdFile_;
  std::string deviceName_;
  std::unique_ptr<platform::usbcamd::CameraStack> stack_;
  std::vector<CameraOutput> outputs_;
};

// Frame bytes of an output: I420 planes, or 24-bit rows of whole 32-bit words.
uint32_t FrameBytes(uint32_t width, uint32_t height, bool rgb);

}  // namespace ksv::outside::gstreamer
