// A recording of the simulated camera's data pipe, as a packet capture file
// (see platform/usbcamd/packet_capture.h). The camera sends one packet per
// 1-ms bus frame: a frame's packets back to back, then a filler packet and
// zero-length packets until its next frame is due (the first bus frame at or
// after the frame's ideal time). A frame that needs more
// bus frames than the frame period starts the next one late. The recording
// ends with the frame-start packet of the frame after the last, so the last
// frame is complete.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

#include "simcam/packetizer.h"

namespace ksv::simcam {

inline constexpr uint64_t kBusFrameTicks = 10'000;  // 1 ms in 100-ns units

struct CaptureOptions {
  uint16_t maximumPacketSize = 640;
  double framesPerSecond = 30;  // 0.1 .. 1000
  uint8_t statusByte = 0;       // the camera status byte of every frame
  std::optional<uint32_t> buttonFrame;  // that frame reports the snapshot button (bit 5)
  FaultChooser faults;          // none: every packet arrives whole
  uint64_t startTime = 0;       // of the first packet, 100-ns units
};

struct CaptureSummary {
  uint32_t frames = 0;
  uint64_t packets = 0;  // records written
  uint32_t damagedFrames = 0;
  FrameFaults faults;    // totals
  std::vector<FrameFaults> perFrame;
  uint64_t endTime = 0;  // time of the last record
};

// Writes the capture of `frames` (compressed frames with their 15-byte
// header) to `out`. Throws std::invalid_argument for options out of range
// and std::runtime_error when `out` fails.
CaptureSummary WriteSimulatedCapture(std::ostream& out,
                                     std::span<const std::vector<uint8_t>> frames,
                                     const CaptureOptions& options);

// The status byte with the snapshot button pressed.
inline constexpr uint8_t kButtonPressed = 0x20;

}  // namespace ksv::simcam
