#include "simcam/camera_video.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "simcam/test_pattern.h"
#include "support/byte_order.h"
#include "support/picture/colour.h"

namespace ksv::simcam {
namespace {

class PatternScene final : public Scene {
 public:
  // The pattern's bar comes back to its place after 16 frames.
  uint32_t Period() const override { return 16; }
  picture::PlanarPicture Picture(codec::FrameSize size, uint32_t index) const override {
    return picture::RgbToPlanar(TestPattern(size.width, size.height, index));
  }
};

class Photos final : public Scene {
 public:
  explicit Photos(std::vector<picture::RgbPicture> photos) : photos_(std::move(photos)) {
    if (photos_.empty()) throw std::invalid_argument("a photo scene needs a photograph");
  }
  uint32_t Period() const override { return static_cast<uint32_t>(photos_.size()); }
  picture::PlanarPicture Picture(codec::FrameSize size, uint32_t index) const override {
    return picture::RgbToPlanar(FitToSize(photos_[index], size.width, size.height));
  }

 private:
  std::vector<picture::RgbPicture> photos_;
};

// The camera's frame header: level at byte 7, entropy byte count at 11..14.
std::vector<uint8_t> WithHeader(const std::vector<uint8_t>& entropy, int level) {
  std::vector<uint8_t> frame(codec::kFrameHeaderSize + entropy.size(), 0);
  frame[codec::kFrameLevelOffset] = static_cast<uint8_t>(level);
  support::StoreLe32(frame, codec::kFrameDataLengthOffset, static_cast<uint32_t>(entropy.size()));
  std::copy(entropy.begin(), entropy.end(), frame.begin() + codec::kFrameHeaderSize);
  return frame;
}

}  // namespace

std::unique_ptr<Scene> TestPatternScene() { return std::make_unique<PatternScene>(); }

std::unique_ptr<Scene> PhotoScene(std::vector<picture::RgbPicture> photos) {
  return std::make_unique<Photos>(std::move(photos));
}

CameraVideo::CameraVideo(const CameraRegisters& registers, const Scene& scene,
                         double framesPerSecond)
    : registers_(registers), scene_(scene), framesPerSecond_(framesPerSecond) {
  if (!(framesPerSecond >= 0.1 && framesPerSecond <= 1000)) {
    throw std::invalid_argument("the camera's frame rate must lie between 0.1 and 1000");
  }
}

const std::vector<uint8_t>& CameraVideo::EncodedFrame(uint32_t index) {
  const uint64_t generation = registers_.EncodingGeneration();
  if (generation != generation_) {
    generation_ = generation;
    encoded_.assign(scene_.Period(), {});
  }
  std::vector<uint8_t>& frame = encoded_[index];
  if (frame.empty()) {
    picture::PlanarPicture picture = scene_.Picture(registers_.EncodeSize(), index);
    ApplyPictureControls(registers_.Controls(), picture);
    frame = WithHeader(EncodeEntropyData(picture, registers_.Tables()), registers_.Level());
  }
  return frame;
}

std::vector<IsoPacket>& CameraVideo::PacketsOf(uint32_t index) {
  const uint64_t generation = registers_.EncodingGeneration();
  const uint16_t packetSize = registers_.PacketSize();
  if (generation != packetGeneration_ || packetSize != packetSize_) {
    packetGeneration_ = generation;
    packetSize_ = packetSize;
    packetsOf_.assign(scene_.Period(), {});
    filler_ = Packetizer(packetSize).Filler();
  }
  std::vector<IsoPacket>& packets = packetsOf_[index];
  if (packets.empty()) Packetizer(packetSize).CutFrame(EncodedFrame(index), 0, packets);
  return packets;
}

void CameraVideo::StartFrame() {
  const auto start = std::chrono::steady_clock::now();
  packets_ = &PacketsOf(framesStarted_ % scene_.Period());
  // The status byte changes with the button, not with the picture, so it is
  // written into the frame-start packet as the frame is sent; a receiver
  // may have changed the statuses of the packets when they were last sent.
  for (IsoPacket& packet : *packets_) packet.status = 0;
  Packetizer::SetStatusByte(packets_->front(), registers_.StatusByte());
  filler_.status = 0;
  nextPacket_ = 0;
  fillerSent_ = false;
  ++framesStarted_;
  nextFrameDue_ =
      static_cast<uint64_t>(std::ceil(framesStarted_ * 1000.0 / framesPerSecond_ - 1e-9));
  workSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

IsoPacket& CameraVideo::NextPacket() {
  ++busFrame_;
  if (!registers_.IsStreaming()) {
    packets_ = nullptr;
    nextPacket_ = 0;
    return zeroLength_;
  }
  const size_t count = packets_ != nullptr ? packets_->size() : 0;
  if (nextPacket_ >= count && busFrame_ > nextFrameDue_) StartFrame();
  if (packets_ != nullptr && nextPacket_ < packets_->size()) return (*packets_)[nextPacket_++];
  if (!fillerSent_) {
    fillerSent_ = true;
    return filler_;
  }
  return zeroLength_;
}

}  // namespace ksv::simcam
