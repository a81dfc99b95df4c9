// The packet routine: what it counts, copies, flags and paces.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/driver_values.h"
#include "driver/frame_tag.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/tests/driver_fixture.h"
#include "platform/kernel/work_item.h"

namespace ksv::driver {
namespace {

using testing::kThirtyFps;
using testing::kTicksPerMs;

class PacketRoutine : public testing::DriverFixture {
 protected:
  PacketRoutine() { OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps); }

  FrameTag Tag() const { return FrameTag::FromValue(frameContext); }
};

TEST_F(PacketRoutine, AnotherCameraIsRefusedWithoutCounting) {
  CameraDeviceExtension other{};
  std::vector<uint8_t> packet = FrameStart();
  platform::usbcamd::USBD_ISO_PACKET_DESCRIPTOR descriptor{0, packetSize, 0};
  bool complete = false;
  bool still = true;
  EXPECT_EQ(CamProcessUSBPacket(nullptr, &other, &frameContext, nullptr, nullptr, &descriptor,
                                packet.data(), &complete, &still),
            0u);
  EXPECT_FALSE(still);
  EXPECT_FALSE(complete);
  EXPECT_EQ(other.FrameCounter, 0u);
  uint32_t returned = 0;
  uint8_t output[16];
  EXPECT_EQ(CamProcessRawVideoFrame(nullptr, &other, &frameContext, output, sizeof output,
                                    packet.data(), packetSize, 1, &returned),
            platform::kernel::STATUS_DEVICE_DATA_ERROR);
}

TEST_F(PacketRoutine, FailedAndShortPacketsAreErrorsAndZeroLengthOnesAreNot) {
  EXPECT_EQ(Send(Data(0), platform::usbcamd::USBD_STATUS_ISO_NOT_ACCESSED_BY_HW), 0u);
  EXPECT_EQ(extension().PacketErrors, 1u);
  std::vector<uint8_t> shortPacket = Data(0);
  shortPacket.resize(packetSize - 1);
  EXPECT_EQ(Send(shortPacket), 0u);
  EXPECT_EQ(extension().PacketErrors, 2u);
  EXPECT_EQ(Send(Data(0), 1), 0u) << "a warning status is not success";
  EXPECT_EQ(extension().PacketErrors, 3u);

  platform::usbcamd::USBD_ISO_PACKET_DESCRIPTOR descriptor{0, 0, 0};
  bool complete = false;
  bool still = false;
  uint8_t none = 0;
  EXPECT_EQ(CamProcessUSBPacket(nullptr, context(), &frameContext, nullptr, nullptr, &descriptor,
                                &none, &complete, &still),
            0u);
  EXPECT_EQ(descriptor.Status, 9);
  EXPECT_EQ(extension().PacketErrors, 3u);

  descriptor = {0, 0, -1};  // a failed zero-length packet is still a failure
  CamProcessUSBPacket(nullptr, context(), &frameContext, nullptr, nullptr, &descriptor, &none,
                      &complete, &still);
  EXPECT_EQ(descriptor.Status, -1);
  EXPECT_EQ(extension().PacketErrors, 4u);
}

TEST_F(PacketRoutine, AFrameStartClosesTheFrameAndTagsItWithItsNumberAndDamage) {
  EXPECT_EQ(Send(FrameStart()), packetSize);
  EXPECT_TRUE(lastComplete());
  EXPECT_EQ(Tag().frameNumber, 1);
  EXPECT_FALSE(Tag().damaged);
  EXPECT_EQ(Send(Data(0)), packetSize);
  EXPECT_EQ(Send(Data(2)), packetSize) << "out of sequence, still copied";
  EXPECT_EQ(extension().PacketErrors, 1u);

  At(2'000 * kTicksPerMs);
  Send(FrameStart());
  EXPECT_EQ(Tag().frameNumber, 2);
  EXPECT_TRUE(Tag().damaged);
  EXPECT_EQ(frameContext >> 16, 0x55AAu);
  EXPECT_EQ(extension().PacketErrors, 0u);
  EXPECT_EQ(extension().ExpectedSequence, 0);

  // Without a frame context nothing is counted or tagged, but the frame
  // still starts and the errors are forgotten.
  Send(Data(7));
  frameContext = 0x1234;
  At(3'000 * kTicksPerMs);
  EXPECT_EQ(Send(FrameStart(), 0, false), packetSize);
  EXPECT_TRUE(lastComplete());
  EXPECT_EQ(frameContext, 0x1234u);
  EXPECT_EQ(extension().FrameCounter, 2u);
  EXPECT_EQ(extension().FramesSeen, 2u);
  EXPECT_EQ(extension().PacketErrors, 0u);
}

TEST_F(PacketRoutine, OneMissingSequenceNumberIsOneError) {
  Send(FrameStart());
  for (int sequence : {0, 1, 2, 4}) Send(Data(static_cast<uint8_t>(sequence)));
  EXPECT_EQ(extension().PacketErrors, 1u);
  Send(Data(5));
  EXPECT_EQ(extension().PacketErrors, 2u) << "the expectation is not resynchronised";
  EXPECT_EQ(Send(Data(0xFF)), 0u) << "filler";
  EXPECT_EQ(extension().PacketErrors, 2u);
}

TEST_F(PacketRoutine, SequenceNumbersWrapFrom254ToZero) {
  Send(FrameStart());
  for (int packet = 0; packet < 300; ++packet) {
    ASSERT_EQ(Send(Data(static_cast<uint8_t>(packet % 255))), packetSize);
  }
  EXPECT_EQ(extension().PacketErrors, 0u);
}

// The camera's own frames come a little either side of the grid's lines
// (whole bus frames apart, woken late by a real clock): one a little early
// is kept; one well inside the interval is skipped with its packets.
TEST_F(PacketRoutine, AStartALittleEarlyIsKeptAndOneWellInsideTheIntervalSkipped) {
  const auto due = static_cast<int64_t>(extension().NextFrameDue);
  At(due);
  Send(FrameStart());
  EXPECT_TRUE(lastComplete());
  EXPECT_EQ(extension().NextFrameDue, static_cast<uint64_t>(due + kThirtyFps));

  At(due + kThirtyFps - kTicksPerMs);  // 1 ms early
  EXPECT_EQ(Send(FrameStart()), packetSize);
  EXPECT_TRUE(lastComplete());
  EXPECT_EQ(extension().NextFrameDue, static_cast<uint64_t>(due + 2 * kThirtyFps));

  At(due + kThirtyFps + 10 * kTicksPerMs);  // a second frame in the same interval
  EXPECT_EQ(Send(FrameStart()), 0u);
  EXPECT_FALSE(lastComplete());
  EXPECT_EQ(extension().FramesDropped, 1u);
  EXPECT_EQ(Send(Data(0)), 0u) << "the skipped frame's packets are not copied";

  At(due + 2 * kThirtyFps);
  EXPECT_EQ(Send(FrameStart()), packetSize);
  EXPECT_EQ(extension().FramesSeen, 4u);
}

// A camera twice as fast as the rate asked for, its frames 1 ms early or
// late in turn: every other frame is delivered, never more.
TEST_F(PacketRoutine, AFasterCameraIsHeldToTheRate) {
  const auto due = static_cast<int64_t>(extension().NextFrameDue);
  int delivered = 0;
  for (int frame = 0; frame < 60; ++frame) {
    const int64_t jitter = (frame * 7 % 3 - 1) * kTicksPerMs;
    At(due + frame * kThirtyFps / 2 + jitter);
    Send(FrameStart());
    delivered += lastComplete() ? 1 : 0;
  }
  EXPECT_EQ(delivered, 30);
  EXPECT_EQ(extension().FramesDropped, 30u);
}

TEST_F(PacketRoutine, TheDueTimeCatchesUpInWholeIntervalsAfterAGap) {
  const uint64_t due = extension().NextFrameDue;
  const uint64_t gap = uint64_t{1} << 60;  // a hostile recording's jump forward
  At(static_cast<int64_t>(due + gap));
  Send(FrameStart());
  const uint64_t next = extension().NextFrameDue;
  EXPECT_GT(next, due + gap);
  EXPECT_LE(next, due + gap + kThirtyFps);
  EXPECT_EQ((next - due) % kThirtyFps, 0u);
}

TEST_F(PacketRoutine, IntervalZeroStreamsWithoutPacing) {
  OpenStream({320, 240}, codec::kCompressionI420, 0);
  for (int frame = 0; frame < 5; ++frame) {
    At(1'000 * kTicksPerMs - frame);  // even a clock running backwards
    EXPECT_EQ(Send(FrameStart()), packetSize);
    EXPECT_TRUE(lastComplete());
  }
  EXPECT_EQ(extension().FramesDropped, 0u);
}

// The frame context belongs to the raw frame still open while starts are
// skipped, so its damage mark must survive until that frame is closed.
TEST_F(PacketRoutine, ASkippedStartKeepsTheOpenFramesDamageMark) {
  const auto due = static_cast<int64_t>(extension().NextFrameDue);
  At(due);
  Send(FrameStart());
  Send(Data(0));
  Send(Data(5));  // the delivered frame is damaged
  At(due + kTicksPerMs);
  Send(FrameStart());  // skipped
  EXPECT_TRUE(Tag().damaged);
  Send(Data(0));  // clean packets of the skipped frame
  At(due + kThirtyFps);
  Send(FrameStart());  // closes the damaged frame
  ASSERT_TRUE(lastComplete());
  EXPECT_TRUE(Tag().damaged);
}

TEST_F(PacketRoutine, ErrorsInASkippedFrameDoNotMarkTheOpenFrame) {
  const auto due = static_cast<int64_t>(extension().NextFrameDue);
  At(due);
  Send(FrameStart());
  Send(Data(0));
  At(due + kTicksPerMs);
  Send(FrameStart());  // skipped
  Send(Data(3), -1);   // never copied anyway
  At(due + kThirtyFps);
  Send(FrameStart());
  ASSERT_TRUE(lastComplete());
  EXPECT_FALSE(Tag().damaged);
}

struct ValueLog {
  std::vector<std::pair<std::string, uint32_t>> writes;
  static void Write(void* user, std::string_view name, uint32_t value) {
    static_cast<ValueLog*>(user)->writes.emplace_back(std::string(name), value);
  }
};

TEST_F(PacketRoutine, AStatusByteChangeIsPublishedLaterAndFlagsTheButton) {
  ValueLog log;
  InstallDriverValueWriter(ValueLog::Write, &log);
  extension().ModeIndicator = 1;
  Send(FrameStart(0x00));
  EXPECT_EQ(platform::kernel::QueuedWorkItemCount(), 0u) << "unchanged byte";

  Send(FrameStart(0x10));  // mode bit set
  EXPECT_EQ(extension().ModeIndicator, 0u);
  Send(FrameStart(0x30));  // and the snapshot button
  EXPECT_EQ(extension().ButtonSnapshotRequest, 1u);
  EXPECT_EQ(platform::kernel::QueuedWorkItemCount(), 1u) << "one pending write covers both";
  EXPECT_TRUE(log.writes.empty()) << "not from the packet routine itself";

  platform::kernel::RunQueuedWorkItems();
  ASSERT_EQ(log.writes.size(), 1u);
  EXPECT_EQ(log.writes[0], (std::pair<std::string, uint32_t>{"Button", 0x30}));

  Send(FrameStart(0x00));
  EXPECT_EQ(extension().ModeIndicator, 1u);
  platform::kernel::RunQueuedWorkItems();
  ASSERT_EQ(log.writes.size(), 2u);
  EXPECT_EQ(log.writes[1].second, 0u);
  InstallDriverValueWriter(nullptr, nullptr);
}

}  // namespace
}  // namespace ksv::driver
