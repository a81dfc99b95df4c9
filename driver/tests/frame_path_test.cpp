// The whole frame path: the simulated camera's recorded packets replayed
// through the class driver stand-in into the driver, compared with what the
// decoder makes of the same frames directly.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <vector>

#include "driver/camera_device_extension.h"
#include "driver/frame_assembly.h"
#include "driver/frame_tag.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/tests/driver_fixture.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/capture_replay.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"
#include "simcam/simulated_capture.h"

namespace ksv::driver {
namespace {

using platform::kernel::STATUS_SUCCESS;
using platform::usbcamd::UsbCamdCamera;
using simcam::PacketFault;
using testing::PatternFrame;

struct Delivered {
  std::vector<uint8_t> bytes;
  FrameTag tag;
};

struct StreamResult {
  std::vector<Delivered> frames;
  uint32_t framesSeen = 0;
  uint32_t framesDropped = 0;
  uint32_t decodeFailures = 0;
};

struct StreamSetup {
  codec::FrameSize output{320, 240};
  uint32_t compression = codec::kCompressionI420;
  int64_t interval = testing::kThirtyFps;
};

class FramePath : public ::testing::Test {
 protected:
  FramePath() { testing::UseFreshSystemRoot(); }

  std::string Capture(const std::vector<std::vector<uint8_t>>& frames,
                      simcam::CaptureOptions options) {
    std::ostringstream out;
    summary_ = simcam::WriteSimulatedCapture(out, frames, options);
    return out.str();
  }

  // Starts a camera for the capture's packet size, opens the stream and
  // replays the whole capture, taking each frame as it is delivered.
  StreamResult Replay(const std::string& capture, const StreamSetup& setup) {
    rig_.reset();
    in_.clear();
    in_.str(capture);
    replay_.emplace(in_);
    simcam::CameraBehaviour recorded;
    recorded.fixedPacketSize = replay_->MaximumPacketSize();
    device_ = std::make_unique<simcam::SimulatedCamera>(recorded);
    rig_ = std::make_unique<rig::CameraRig>(rig::RigOptions{
        device_.get(), replay_->MaximumPacketSize(), &replay_->Clock()});
    camera_ = &rig_->Camera();
    EXPECT_EQ(rig_->Start(), STATUS_SUCCESS);
    Open(setup);
    StreamResult result;
    while (replay_->DeliverNext(*camera_)) Drain(result);
    Finish(result);
    return result;
  }

  void Open(const StreamSetup& setup) {
    const uint16_t bits = setup.compression == codec::kCompressionRgb ? 24 : 12;
    const auto format = platform::usbcamd::MakeVideoFormat(
        static_cast<int32_t>(setup.output.width), static_cast<int32_t>(setup.output.height),
        bits, setup.compression, setup.interval);
    ASSERT_EQ(camera_->OpenStream(format), STATUS_SUCCESS);
  }

  void Drain(StreamResult& result) {
    while (camera_->HasFrame()) {
      const auto frame = camera_->FrontFrame();
      EXPECT_EQ(frame.status, STATUS_SUCCESS);
      result.frames.push_back({{frame.data.begin(), frame.data.end()},
                               FrameTag::Read(frame.frameContext.data())});
      camera_->ReleaseFrame();
    }
  }

  void Finish(StreamResult& result) {
    const auto& extension = ExtensionOf(camera_->DeviceContext());
    result.framesSeen = extension.FramesSeen;
    result.framesDropped = extension.FramesDropped;
    result.decodeFailures = extension.DecodeFailures;
  }

  static std::vector<std::vector<uint8_t>> Frames(codec::FrameSize size, uint32_t count) {
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t i = 0; i < count; ++i) frames.push_back(PatternFrame(size, i));
    return frames;
  }

  static std::vector<uint8_t> Decode(const std::vector<uint8_t>& frame, const StreamSetup& setup,
                                     codec::FrameSize decode) {
    std::vector<uint8_t> picture(codec::Rgb24Bytes(setup.output));
    uint32_t written = 0;
    EXPECT_TRUE(ModuleDecoder().DecodeFrame(codec::DecoderContext{}, frame, picture, written,
                                            decode, setup.output, setup.compression));
    picture.resize(written);
    return picture;
  }

  // The recording outlives the rig, whose clock it is.
  std::istringstream in_;
  std::optional<platform::usbcamd::CaptureReplay> replay_;
  std::unique_ptr<simcam::SimulatedCamera> device_;
  std::unique_ptr<rig::CameraRig> rig_;
  UsbCamdCamera* camera_ = nullptr;
  simcam::CaptureSummary summary_;
};

TEST_F(FramePath, ACleanCaptureDeliversEveryFrameDecoded) {
  const auto frames = Frames({320, 240}, 6);
  const StreamSetup setup;
  const StreamResult result = Replay(Capture(frames, {}), setup);
  ASSERT_EQ(result.frames.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(result.frames[i].bytes, Decode(frames[i], setup, {320, 240})) << "frame " << i;
    EXPECT_FALSE(result.frames[i].tag.damaged);
  }
  EXPECT_EQ(result.framesSeen, 7u) << "six frames and the start of the next";
  EXPECT_EQ(result.framesDropped, 0u);
  EXPECT_EQ(camera_->Counters().emptyFrames, 1u) << "the capture begins at a frame start";
}

TEST_F(FramePath, DamagedFramesRepeatTheLastGoodOne) {
  const auto frames = Frames({320, 240}, 6);
  simcam::CaptureOptions options;
  options.faults = [](uint32_t frame, uint32_t packet, uint32_t) {
    if (frame == 1 && packet == 2) return PacketFault::kLost;
    if (frame == 3 && packet == 1) return PacketFault::kOutOfOrder;
    if (frame == 4 && packet == 3) return PacketFault::kShort;
    if (frame == 5 && packet == 1) return PacketFault::kFailed;
    return PacketFault::kNone;
  };
  const StreamSetup setup;
  const StreamResult result = Replay(Capture(frames, options), setup);
  EXPECT_EQ(summary_.damagedFrames, 4u);

  ASSERT_EQ(result.frames.size(), 6u);
  const auto first = Decode(frames[0], setup, {320, 240});
  const auto third = Decode(frames[2], setup, {320, 240});
  const std::vector<std::vector<uint8_t>> expected = {first, first, third, third, third, third};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(result.frames[i].tag.damaged, summary_.perFrame[i].Total() > 0) << "frame " << i;
    EXPECT_EQ(result.frames[i].bytes, expected[i]) << "frame " << i;
  }
  EXPECT_EQ(result.decodeFailures, 0u) << "damaged frames never reach the decoder";
}

TEST_F(FramePath, PacingDeliversEveryOtherFrameAtHalfTheCameraRate) {
  const auto frames = Frames({320, 240}, 6);
  simcam::CaptureOptions options;
  options.framesPerSecond = 25;  // whole bus frames apart: 40 ms
  StreamSetup setup;
  setup.interval = 800'000;  // 12.5 frames per second
  const StreamResult result = Replay(Capture(frames, options), setup);
  ASSERT_EQ(result.frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(result.frames[i].bytes, Decode(frames[2 * i], setup, {320, 240})) << i;
  }
  EXPECT_EQ(result.framesSeen, 7u);
  EXPECT_EQ(result.framesDropped, 3u);
}

TEST_F(FramePath, ALostFrameStartMergesItsFrameIntoTheOneBefore) {
  const auto frames = Frames({320, 240}, 4);
  simcam::CaptureOptions options;
  options.faults = [](uint32_t frame, uint32_t packet, uint32_t) {
    return frame == 2 && packet == 0 ? PacketFault::kLost : PacketFault::kNone;
  };
  const StreamSetup setup;
  const StreamResult result = Replay(Capture(frames, options), setup);
  ASSERT_EQ(result.frames.size(), 3u);
  EXPECT_FALSE(result.frames[0].tag.damaged);
  EXPECT_TRUE(result.frames[1].tag.damaged) << "frame 1 with frame 2's packets appended";
  EXPECT_EQ(result.frames[1].bytes, result.frames[0].bytes);
  EXPECT_EQ(result.frames[2].bytes, Decode(frames[3], setup, {320, 240}));
}

TEST_F(FramePath, SmallStreamAndPassThroughComeOutAtTheirSizes) {
  const auto small = Frames({160, 128}, 2);
  StreamSetup setup;
  setup.output = {160, 120};
  StreamResult result = Replay(Capture(small, {}), setup);
  ASSERT_EQ(result.frames.size(), 2u);
  EXPECT_EQ(result.frames[1].bytes.size(), 28800u);
  EXPECT_EQ(result.frames[1].bytes, Decode(small[1], setup, {160, 128}));

  const auto frames = Frames({320, 240}, 2);
  setup = {};
  setup.compression = kCompressionKxjs;
  simcam::CaptureOptions options;
  options.faults = [](uint32_t frame, uint32_t packet, uint32_t) {
    return frame == 1 && packet == 4 ? PacketFault::kShort : PacketFault::kNone;
  };
  result = Replay(Capture(frames, options), setup);
  ASSERT_EQ(result.frames.size(), 2u);
  const size_t packets = (frames[0].size() + 638) / 639;
  ASSERT_EQ(result.frames[0].bytes.size(), 172 + packets * 640);
  EXPECT_TRUE(std::equal(frames[0].begin() + 15, frames[0].end(),
                         result.frames[0].bytes.begin() + 172 + 15));
  ASSERT_EQ(result.frames[1].bytes.size(), 115200u);
  EXPECT_EQ(std::vector<uint8_t>(result.frames[1].bytes.begin(), result.frames[1].bytes.begin() + 7),
            std::vector<uint8_t>(kDamagedPassThroughMark.begin(), kDamagedPassThroughMark.end()));
}

// A stream that begins in the middle of the camera's frame delivers that
// tail as frame 1, damaged: it comes out as zeros, not as a picture left
// over from an earlier stream.
TEST_F(FramePath, AStreamJoinedMidFrameStartsWithZerosNotAnOldPicture) {
  const auto frames = Frames({320, 240}, 3);
  const std::string capture = Capture(frames, {});
  const StreamSetup setup;
  Replay(capture, setup);  // leaves a good frame behind

  camera_->CloseStream();
  StreamSetup unpaced = setup;
  unpaced.interval = 0;  // the clock stays at the recording's end now
  Open(unpaced);
  simcam::Packetizer packetizer(640);
  std::vector<simcam::IsoPacket> packets;
  for (const auto& frame : frames) packetizer.CutFrame(frame, 0, packets);
  StreamResult result;
  for (size_t i = 3; i < packets.size(); ++i) {  // joins after frame 0's third packet
    camera_->ReceivePacket(packets[i].status, packets[i].bytes);
    Drain(result);
  }
  ASSERT_EQ(result.frames.size(), 2u);
  EXPECT_EQ(result.frames[0].tag.frameNumber, 1);
  EXPECT_TRUE(result.frames[0].tag.damaged);
  EXPECT_EQ(result.frames[0].bytes, std::vector<uint8_t>(115200, 0));
  EXPECT_EQ(result.frames[1].bytes, Decode(frames[1], setup, {320, 240}));
}

}  // namespace
}  // namespace ksv::driver
