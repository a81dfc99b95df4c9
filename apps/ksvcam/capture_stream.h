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

#include "codec/frame_format.h"

namespace ksv::ksvcam {

struct CaptureStreamFormat {
  codec::FrameSize size{320, 240};
  uint32_t compression = codec::kCompressionI420;
  uint16_t bitCount = 12;
  int64_t interval = 333'333;  // 100-ns units
};

struct CaptureStreamTotals {
  uint64_t packets = 0;
  uint16_t packetSize = 0;
  uint32_t framesSeen = 0;     // frame starts the driver saw
  uint32_t framesDropped = 0;  // skipped by pacing
  uint64_t delivered = 0;
  uint64_t damaged = 0;        // delivered with the damage mark
  uint32_t notDecoded = 0;     // failed to decode; the last good frame was repeated
  uint32_t oversized = 0;
  uint32_t truncated = 0;      // pass-through frames cut at the reader's buffer
  uint64_t statusChanges = 0;  // "Button" values the driver published
};

// Called with each delivered frame (the bytes the driver returned) and
// whether it carried the damage mark.
using DeliveredFrameHandler = std::function<void(std::span<const uint8_t> frame, bool damaged)>;

// Throws CommandFailure for a capture that cannot be read or a packet size
// or format the driver refuses.
CaptureStreamTotals StreamCapture(std::istream& capture, const CaptureStreamFormat& format,
                                  const DeliveredFrameHandler& onFrame);

}  // namespace ksv::ksvcam
