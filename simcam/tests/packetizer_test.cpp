#include "simcam/packetizer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace ksv::simcam {
namespace {

// A frame with the 15-byte header (level at 7, data length at 11) and
// `dataBytes` of counting bytes.
std::vector<uint8_t> MakeFrame(size_t dataBytes, uint8_t level = 2) {
  std::vector<uint8_t> frame(15 + dataBytes);
  frame[7] = level;
  frame[11] = 0x7F;  // the encoder's length; the camera sends zeros there
  std::iota(frame.begin() + 15, frame.end(), uint8_t{1});
  return frame;
}

TEST(Packetizer, CutsAFrameTheWayTheDriverAssemblesIt) {
  const std::vector<uint8_t> frame = MakeFrame(100);
  Packetizer packetizer(32);
  std::vector<IsoPacket> packets;
  const FrameFaults faults = packetizer.CutFrame(frame, 0x24, packets);
  EXPECT_EQ(faults.Total(), 0u);
  ASSERT_EQ(packets.size(), 4u);  // 115 frame bytes, 31 per packet

  const std::vector<uint8_t>& start = packets[0].bytes;
  EXPECT_EQ(start[0], 0xFF);
  EXPECT_EQ(start[1], 0x01);
  EXPECT_EQ(start[8], 2) << "level";
  EXPECT_EQ(start[10], 0x24) << "status byte";
  EXPECT_EQ(std::vector<uint8_t>(start.begin() + 12, start.begin() + 16),
            (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(start[16], 1) << "the entropy data";

  std::vector<uint8_t> carried;
  for (size_t i = 0; i < packets.size(); ++i) {
    ASSERT_EQ(packets[i].bytes.size(), 32u);
    EXPECT_EQ(packets[i].status, 0);
    if (i > 0) {
      EXPECT_EQ(packets[i].bytes[0], i - 1) << "sequence";
    }
    carried.insert(carried.end(), packets[i].bytes.begin() + 1, packets[i].bytes.end());
  }
  EXPECT_TRUE(std::equal(frame.begin() + 15, frame.end(), carried.begin() + 15));
  EXPECT_EQ(carried.back(), 0) << "padding";
}

TEST(Packetizer, SequenceNumbersRunFromZeroTo254AndWrap) {
  Packetizer packetizer(16);
  std::vector<IsoPacket> packets;
  packetizer.CutFrame(MakeFrame(15 * 300), 0, packets);
  ASSERT_GT(packets.size(), 300u);
  EXPECT_EQ(packets[255].bytes[0], 254);
  EXPECT_EQ(packets[256].bytes[0], 0);
  EXPECT_EQ(packets[257].bytes[0], 1);
}

TEST(Packetizer, AppliesTheChosenFaults) {
  std::vector<std::pair<uint32_t, PacketFault>> plan = {{1, PacketFault::kLost},
                                                        {2, PacketFault::kShort},
                                                        {3, PacketFault::kFailed},
                                                        {4, PacketFault::kOutOfOrder},
                                                        {6, PacketFault::kOutOfOrder}};
  Packetizer packetizer(16, [&plan](uint32_t frame, uint32_t packet, uint32_t) {
    for (const auto& [at, fault] : plan) {
      if (frame == 0 && packet == at) return fault;
    }
    return PacketFault::kNone;
  });
  std::vector<IsoPacket> packets;
  const FrameFaults faults = packetizer.CutFrame(MakeFrame(90), 0, packets);  // 7 packets
  EXPECT_EQ(faults.lost, 1u);
  EXPECT_EQ(faults.shortened, 1u);
  EXPECT_EQ(faults.failed, 1u);
  EXPECT_EQ(faults.outOfOrder, 1u) << "the last packet has nothing to swap with";
  EXPECT_FALSE(faults.startHit);
  ASSERT_EQ(packets.size(), 6u);
  EXPECT_EQ(packets[1].bytes[0], 1) << "sequence 0 was lost";
  EXPECT_GE(packets[1].bytes.size(), 1u);
  EXPECT_LT(packets[1].bytes.size(), 16u);
  EXPECT_EQ(packets[2].status, kFailedPacketStatus);
  EXPECT_EQ(packets[3].bytes[0], 4);
  EXPECT_EQ(packets[4].bytes[0], 3);
  EXPECT_EQ(packets[5].bytes[0], 5);

  // The next frame is frame 1 for the chooser: no faults.
  packets.clear();
  EXPECT_EQ(packetizer.CutFrame(MakeFrame(90), 0, packets).Total(), 0u);
}

TEST(Packetizer, RandomFaultsFollowTheSeedAndTheRates) {
  FaultRates rates;
  rates.lost = 0.2;
  rates.failed = 0.1;
  rates.seed = 42;
  const FaultChooser a = RandomFaults(rates);
  const FaultChooser b = RandomFaults(rates);
  rates.seed = 43;
  const FaultChooser c = RandomFaults(rates);
  int lost = 0;
  int failed = 0;
  int differ = 0;
  for (uint32_t i = 0; i < 20000; ++i) {
    const PacketFault fault = a(0, i, 0);
    EXPECT_EQ(fault, b(0, i, 0));
    differ += fault != c(0, i, 0);
    lost += fault == PacketFault::kLost;
    failed += fault == PacketFault::kFailed;
  }
  EXPECT_NEAR(lost / 20000.0, 0.2, 0.015);
  EXPECT_NEAR(failed / 20000.0, 0.1, 0.015);
  EXPECT_GT(differ, 1000);
}

}  // namespace
}  // namespace ksv::simcam
