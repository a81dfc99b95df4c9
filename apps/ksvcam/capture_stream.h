// Streams a recorded packet capture the way a capture application streams
// from the camera: the camera driver registered with the class driver
// stand-in, a camera with the capture's packet size, a stream opened in the
// chosen format, and every packet delivered at its recorded time. Each
// delivered frame goes to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <span>

#include "rig/camera_rig.h"

namespace ksv::ksvcam {

// What the stream delivered (rig::RigStatistics) and the "Button" values
// the driver published while it ran.
struct CaptureStreamTotals : rig::RigStatistics {
  uint64_t statusChanges = 0;
};

// Called with each delivered frame (the bytes the driver returned) and
// whether it carried the damage mark.
using DeliveredFrameHandler = std::function<void(std::span<const uint8_t> frame, bool damaged)>;

// Throws CommandFailure for a capture that cannot be read or a packet size
// or format the driver refuses.
CaptureStreamTotals StreamCapture(std::istream& capture, const rig::VideoFormat& format,
                                  const DeliveredFrameHandler& onFrame);

}  // namespace ksv::ksvcam
