// The simulated camera's video side: while the camera streams (see
// camera_registers.h) it photographs its scene at the engine's size and
// compresses it with the level and tables written into its registers, and
// sends each frame on the isochronous data pipe, one packet of the selected
// alternate setting's size per 1-ms bus frame, with a filler packet and
// zero-length packets until its next frame is due.
//
// A scene repeats after Period() pictures, so each distinct frame is
// compressed and cut into packets once and sent again from memory until the
// registers change: a streaming camera allocates nothing per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "simcam/camera_registers.h"
#include "simcam/packetizer.h"
#include "support/picture/picture.h"

namespace ksv::simcam {

class Scene {
 public:
  virtual ~Scene() = default;
  virtual uint32_t Period() const = 0;
  // Picture `index` (below Period()) framed to `size`.
  virtual picture::PlanarPicture Picture(codec::FrameSize size, uint32_t index) const = 0;
};

// The moving test pattern (test_pattern.h).
std::unique_ptr<Scene> TestPatternScene();
// Photographs shown in turn. Throws std::invalid_argument for none.
std::unique_ptr<Scene> PhotoScene(std::vector<picture::RgbPicture> photos);

class CameraVideo {
 public:
  // `framesPerSecond` is the camera's own rate (0.1 .. 1000).
  CameraVideo(const CameraRegisters& registers, const Scene& scene, double framesPerSecond = 30);

  // What the camera sends in the next bus frame: nothing (a zero-length
  // packet) while it does not stream. Valid until the next call; the
  // receiver may change its status.
  IsoPacket& NextPacket();

  uint32_t FramesStarted() const { return framesStarted_; }
  // Real time spent making the frames sent so far (the scene's picture, its
  // compression and the cutting into packets): the camera's own work, which
  // a measurement of the host's path counts apart.
  double WorkSeconds() const { return workSeconds_; }

 private:
  void StartFrame();
  const std::vector<uint8_t>& EncodedFrame(uint32_t index);
  std::vector<IsoPacket>& PacketsOf(uint32_t index);

  const CameraRegisters& registers_;
  const Scene& scene_;
  double framesPerSecond_;
  uint64_t busFrame_ = 0;
  uint64_t nextFrameDue_ = 0;  // bus frame
  uint32_t framesStarted_ = 0;
  double workSeconds_ = 0;
  std::vector<IsoPacket>* packets_ = nullptr;  // of the frame being sent
  size_t nextPacket_ = 0;
  bool fillerSent_ = true;
  IsoPacket filler_;
  IsoPacket zeroLength_;
  // Compressed frames by scene index, for one encoding generation.
  uint64_t generation_ = ~uint64_t{0};
  std::vector<std::vector<uint8_t>> encoded_;
  // The packets of each compressed frame, for one generation and packet size.
  uint64_t packetGeneration_ = ~uint64_t{0};
  uint16_t packetSize_ = 0;
  std::vector<std::vector<IsoPacket>> packetsOf_;
};

}  // namespace ksv::simcam
