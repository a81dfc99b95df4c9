#include "simcam/simulated_capture.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/usbcamd/packet_capture.h"
#include "simcam/frame_encoder.h"

namespace ksv::simcam {
namespace {

void CheckOptions(const CaptureOptions& options) {
  if (!(options.framesPerSecond >= 0.1 && options.framesPerSecond <= 1000)) {
    throw std::invalid_argument("the frame rate must lie between 0.1 and 1000 frames per second");
  }
  if (options.maximumPacketSize < 16) {
    throw std::invalid_argument("the packet size must be at least 16 bytes");
  }
}

// The bus frame the camera begins frame `index` in: the first one at or
// after the frame's ideal time, so a stream paced at the camera's own rate
// never sees a frame early.
uint64_t DueBusFrame(uint32_t index, double framesPerSecond) {
  return static_cast<uint64_t>(std::ceil(index * 1000.0 / framesPerSecond - 1e-9));
}

class Recorder {
 public:
  Recorder(std::ostream& out, const CaptureOptions& options)
      : writer_(out, options.maximumPacketSize), startTime_(options.startTime) {}

  // One packet in the next bus frame.
  void Send(const IsoPacket& packet) {
    endTime_ = startTime_ + busFrame_ * kBusFrameTicks;
    writer_.Write(endTime_, packet.status, packet.bytes);
    ++busFrame_;
    ++records_;
  }
  // Bus frames whose packets were lost: time passes, nothing arrives.
  void SkipTo(uint64_t busFrame) { busFrame_ = std::max(busFrame_, busFrame); }

  uint64_t BusFrame() const { return busFrame_; }
  uint64_t Records() const { return records_; }
  uint64_t EndTime() const { return endTime_; }

 private:
  platform::usbcamd::PacketCaptureWriter writer_;
  uint64_t startTime_;
  uint64_t busFrame_ = 0;
  uint64_t records_ = 0;
  uint64_t endTime_ = 0;
};

void AddFaults(FrameFaults& total, const FrameFaults& frame) {
  total.lost += frame.lost;
  total.shortened += frame.shortened;
  total.failed += frame.failed;
  total.outOfOrder += frame.outOfOrder;
  total.startHit |= frame.startHit;
}

}  // namespace

CaptureSummary WriteSimulatedCapture(std::ostream& out,
                                     std::span<const std::vector<uint8_t>> frames,
                                     const CaptureOptions& options) {
  CheckOptions(options);
  Packetizer packetizer(options.maximumPacketSize, options.faults);
  Recorder recorder(out, options);
  CaptureSummary summary;
  std::vector<IsoPacket> packets;
  std::vector<uint32_t> busFrames;
  uint8_t level = 0;
  for (uint32_t index = 0; index < frames.size(); ++index) {
    const uint64_t due = DueBusFrame(index, options.framesPerSecond);
    if (index > 0 && recorder.BusFrame() < due) recorder.Send(packetizer.Filler());
    while (recorder.BusFrame() < due) recorder.Send(Packetizer::ZeroLength());
    const bool pressed = options.buttonFrame == index;
    const uint8_t status = pressed ? options.statusByte | kButtonPressed : options.statusByte;
    packets.clear();
    busFrames.clear();
    const FrameFaults faults = packetizer.CutFrame(frames[index], status, packets, &busFrames);
    // A lost packet leaves its own bus frame empty, in its place in the frame.
    const uint64_t frameStart = recorder.BusFrame();
    for (size_t i = 0; i < packets.size(); ++i) {
      recorder.SkipTo(frameStart + busFrames[i]);
      recorder.Send(packets[i]);
    }
    recorder.SkipTo(frameStart + packets.size() + faults.lost);
    level = frames[index][kFrameLevelOffset];
    summary.perFrame.push_back(faults);
    AddFaults(summary.faults, faults);
    if (faults.Total() > 0) ++summary.damagedFrames;
  }
  if (!frames.empty()) {
    const uint64_t due = DueBusFrame(static_cast<uint32_t>(frames.size()), options.framesPerSecond);
    if (recorder.BusFrame() < due) recorder.Send(packetizer.Filler());
    while (recorder.BusFrame() < due) recorder.Send(Packetizer::ZeroLength());
    recorder.Send(packetizer.FrameStartOnly(options.statusByte, level));
  }
  if (!out) throw std::runtime_error("writing the packet capture failed");
  summary.frames = static_cast<uint32_t>(frames.size());
  summary.packets = recorder.Records();
  summary.endTime = recorder.EndTime();
  return summary;
}

}  // namespace ksv::simcam
