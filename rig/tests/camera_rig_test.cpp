// The rig runs the driver's whole life on a camera: the simulated one
// plugged in directly, the one the machine's device list names, or packets
// handed over one by one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <vector>

#include "driver/camera_device_extension.h"
#include "platform/hardware/device_list.h"
#include "rig/camera_rig.h"
#include "simcam/frame_encoder.h"
#include "simcam/packetizer.h"
#include "simcam/simulated_camera.h"
#include "testing/temp_files.h"

namespace ksv::rig {
namespace {

class CameraRigTest : public ::testing::Test {
 protected:
  CameraRigTest() { ::setenv("KSV_ROOT", root_.path().c_str(), 1); }
  ::ksv::testing::TempFolder root_;
};

TEST_F(CameraRigTest, RunsTheCamerasWholeLifeAndDeliversFramesOfTheOpenFormat) {
  simcam::SimulatedCamera camera;
  {
    CameraRig rig({.device = &camera});
    ASSERT_EQ(rig.Start(), 0);
    EXPECT_GE(rig.Streams().StreamHeader.NumberOfStreams, 1u);
    ASSERT_EQ(rig.Open({.size = {160, 120}, .interval = 0}), 0);
    for (uint64_t n = 1; n <= 3; ++n) {
      const auto frame = rig.NextFrame();
      ASSERT_TRUE(frame) << "frame " << n;
      EXPECT_EQ(frame->data.size(), 160u * 120 * 3 / 2);
      EXPECT_EQ(frame->number, n);
      EXPECT_FALSE(frame->damaged);
    }
    const RigStatistics statistics = rig.Statistics();
    EXPECT_EQ(statistics.delivered, 3u);
    EXPECT_GT(statistics.packets, 0u);
    EXPECT_NE(statistics.alternateSetting, 0);
    EXPECT_EQ(statistics.packetSize, camera.Registers().PacketSize());
    EXPECT_EQ(rig.Close(), 0);
    EXPECT_EQ(rig.Stop(), 0);
    EXPECT_EQ(rig.DriverStates(), (std::vector<uint32_t>{1, 2, 3, 5, 7, 8}));
  }
  EXPECT_FALSE(camera.Registers().IsStreaming());
}

TEST_F(CameraRigTest, ShowsTheButtonsSnapshotAndStatusChangesAsTheDriverMakesThem) {
  std::filesystem::create_directories(root_.path() / "TWAIN_32" / "Orvan" / "KSV1");
  simcam::SimulatedCamera camera;
  CameraRig rig({.device = &camera});
  ASSERT_EQ(rig.Start(), 0);
  ASSERT_EQ(rig.Open({.interval = 0}), 0);
  ASSERT_TRUE(rig.NextFrame());
  const uint64_t statusBefore = rig.StatusChanges();
  EXPECT_FALSE(rig.SnapshotWritten());
  camera.Registers().PressButton();
  for (int frame = 0; frame < 5 && !rig.SnapshotWritten(); ++frame) ASSERT_TRUE(rig.NextFrame());
  EXPECT_TRUE(rig.SnapshotWritten());
  EXPECT_FALSE(rig.SnapshotRequestTakenUp()) << "no \"SnapShoot\" request was made";
  camera.Registers().ReleaseButton();
  ASSERT_TRUE(rig.NextFrame());
  rig.RunSystemWorker();
  EXPECT_GT(rig.StatusChanges(), statusBefore);
}

TEST_F(CameraRigTest, ACameraThatSendsNothingGivesNoFrameWithinTheLimit) {
  simcam::SimulatedCamera camera;
  CameraRig rig({.device = &camera});
  ASSERT_EQ(rig.Start(), 0);  // started, but no stream asks for video
  const int64_t before = rig.Clock().Counter();
  EXPECT_FALSE(rig.NextFrame(500));
  EXPECT_GE(rig.Clock().Counter() - before, 500 * 10'000) << "each bus frame is a millisecond";
  EXPECT_EQ(rig.Statistics().delivered, 0u);
}

TEST_F(CameraRigTest, FindsTheCameraOfTheMachinesDeviceList) {
  EXPECT_THROW(CameraRig rig, std::runtime_error) << "no device is listed yet";
  platform::hardware::ListModule("Simulated camera", KSV_SIMCAM_HARDWARE_MODULE);
  CameraRig rig;
  ASSERT_EQ(rig.Start(), 0);
  ASSERT_EQ(rig.Open({.interval = 0}), 0);
  const auto frame = rig.NextFrame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->data.size(), 320u * 240 * 3 / 2);
}

TEST_F(CameraRigTest, DeliversPacketsHandedOverOneByOne) {
  // A recorded camera: the device answers the driver, the packets come from
  // the recording, at the time the caller's clock says.
  simcam::CameraBehaviour recorded;
  recorded.fixedPacketSize = 512;
  simcam::SimulatedCamera camera(recorded);
  platform::kernel::SimulatedPerformanceCounter clock(10'000'000, 0, false);
  CameraRig rig({.device = &camera, .maximumPacketSize = 512, .clock = &clock});
  ASSERT_EQ(rig.Start(), 0);
  ASSERT_EQ(rig.Open({.interval = 0}), 0);

  const auto picture = simcam::TestPatternScene()->Picture({320, 240}, 0);
  simcam::Packetizer packetizer(512);
  std::vector<simcam::IsoPacket> packets;
  for (int frame = 0; frame < 2; ++frame) {
    packetizer.CutFrame(simcam::EncodeFrame(picture, 3), 0, packets);
  }
  packets.push_back(packetizer.Filler());
  for (simcam::IsoPacket& packet : packets) {
    clock.Advance(10'000);
    rig.Deliver(packet.status, packet.bytes);
  }
  EXPECT_EQ(rig.Statistics().packets, packets.size());
  const auto frame = rig.TakeFrame();
  ASSERT_TRUE(frame) << "the first frame closes when the second starts";
  EXPECT_EQ(frame->data.size(), 320u * 240 * 3 / 2);
  EXPECT_FALSE(frame->damaged);
}

TEST(StatusText, NamesKnownStatusesAndGivesTheCodeOfOthers) {
  EXPECT_EQ(StatusText(static_cast<NTSTATUS>(0xC000000D)), "0xC000000D (STATUS_INVALID_PARAMETER)");
  EXPECT_EQ(StatusText(0x12345678), "0x12345678");
  try {
    Require(static_cast<NTSTATUS>(0xC000000D), "opening the stream");
    FAIL();
  } catch (const RigError& error) {
    EXPECT_STREQ(error.what(), "opening the stream failed with 0xC000000D (STATUS_INVALID_PARAMETER)");
    EXPECT_EQ(error.status(), static_cast<NTSTATUS>(0xC000000D));
  }
}

}  // namespace
}  // namespace ksv::rig
