#include "simcam/simulated_capture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/usbcamd/packet_capture.h"

namespace ksv::simcam {
namespace {

using platform::usbcamd::CaptureRecord;
using platform::usbcamd::PacketCaptureReader;

struct Record {
  uint64_t time;
  int32_t status;
  std::vector<uint8_t> bytes;
};

std::vector<Record> ReadAll(const std::string& file, uint16_t& packetSize) {
  std::istringstream in(file);
  PacketCaptureReader reader(in);
  packetSize = reader.MaximumPacketSize();
  std::vector<Record> records;
  CaptureRecord record;
  while (reader.Next(record)) {
    records.push_back({record.time, record.status, {record.bytes.begin(), record.bytes.end()}});
  }
  return records;
}

std::vector<uint8_t> Frame(size_t dataBytes) {
  std::vector<uint8_t> frame(15 + dataBytes, 0x33);
  frame[7] = 3;
  return frame;
}

bool IsStart(const Record& r) { return r.bytes.size() > 1 && r.bytes[0] == 0xFF && r.bytes[1] == 1; }

TEST(SimulatedCapture, OnePacketPerMillisecondAndFramesOnTime) {
  const std::vector<std::vector<uint8_t>> frames = {Frame(500), Frame(500), Frame(500)};
  CaptureOptions options;
  options.maximumPacketSize = 128;
  options.framesPerSecond = 30;
  options.startTime = 5'000'000;
  options.buttonFrame = 1;
  std::ostringstream out;
  const CaptureSummary summary = WriteSimulatedCapture(out, frames, options);

  uint16_t packetSize = 0;
  const std::vector<Record> records = ReadAll(out.str(), packetSize);
  EXPECT_EQ(packetSize, 128);
  ASSERT_EQ(records.size(), summary.packets);
  ASSERT_EQ(records.size(), 101u) << "frames at 0, 34 and 67 ms, the next start at 100 ms";
  std::vector<uint64_t> starts;
  std::vector<uint8_t> statusBytes;
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].time, 5'000'000 + i * kBusFrameTicks);
    if (IsStart(records[i])) {
      starts.push_back((records[i].time - 5'000'000) / kBusFrameTicks);
      statusBytes.push_back(records[i].bytes[10]);
    }
  }
  EXPECT_EQ(starts, (std::vector<uint64_t>{0, 34, 67, 100}));
  EXPECT_EQ(statusBytes, (std::vector<uint8_t>{0, kButtonPressed, 0, 0}));
  // Each frame takes 5 packets; then one filler and zero-length packets.
  EXPECT_EQ(records[5].bytes.size(), 128u);
  EXPECT_EQ(records[5].bytes[0], 0xFF);
  EXPECT_EQ(records[5].bytes[1], 0x00);
  EXPECT_TRUE(records[6].bytes.empty());
  EXPECT_EQ(summary.endTime, 5'000'000 + 100 * kBusFrameTicks);
}

TEST(SimulatedCapture, LostPacketsLeaveTheirOwnBusFrameEmpty) {
  // Five packets a frame at 0, 34 and 67 ms. Frame 0 loses its third
  // packet, frame 1 its frame start and its last packet.
  const std::vector<std::vector<uint8_t>> frames = {Frame(500), Frame(500), Frame(500)};
  const auto lost = [](uint32_t frame, uint32_t packet) {
    return (frame == 0 && packet == 2) || (frame == 1 && (packet == 0 || packet == 4));
  };
  CaptureOptions options;
  options.maximumPacketSize = 128;
  options.faults = [&](uint32_t frame, uint32_t packet, uint32_t) {
    return lost(frame, packet) ? PacketFault::kLost : PacketFault::kNone;
  };
  std::ostringstream out;
  const CaptureSummary summary = WriteSimulatedCapture(out, frames, options);
  EXPECT_EQ(summary.faults.lost, 3u);
  EXPECT_EQ(summary.damagedFrames, 2u);

  // What a camera sends in each bus frame: -1 the frame start, 0..3 the data
  // packet of that sequence number, -2 the filler, -3 a zero-length packet.
  struct Expected {
    uint64_t busFrame;
    int kind;
  };
  std::vector<Expected> expected;
  const uint64_t starts[] = {0, 34, 67, 100};
  for (uint32_t frame = 0; frame < 3; ++frame) {
    for (uint32_t packet = 0; packet < 5; ++packet) {
      if (!lost(frame, packet)) {
        expected.push_back({starts[frame] + packet, static_cast<int>(packet) - 1});
      }
    }
    expected.push_back({starts[frame] + 5, -2});
    for (uint64_t b = starts[frame] + 6; b < starts[frame + 1]; ++b) expected.push_back({b, -3});
  }
  expected.push_back({100, -1});

  uint16_t packetSize = 0;
  const std::vector<Record> records = ReadAll(out.str(), packetSize);
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].time, expected[i].busFrame * kBusFrameTicks);
    const std::vector<uint8_t>& bytes = records[i].bytes;
    switch (expected[i].kind) {
      case -3:
        EXPECT_TRUE(bytes.empty());
        break;
      case -2:
        ASSERT_EQ(bytes.size(), 128u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0x00);
        break;
      case -1:
        EXPECT_TRUE(IsStart(records[i]));
        break;
      default:
        ASSERT_EQ(bytes.size(), 128u);
        EXPECT_EQ(bytes[0], expected[i].kind) << "the data packet's sequence number";
    }
  }
}

TEST(SimulatedCapture, RefusesARateOutOfRange) {
  std::ostringstream out;
  CaptureOptions options;
  options.framesPerSecond = 0;
  EXPECT_THROW(WriteSimulatedCapture(out, std::vector<std::vector<uint8_t>>{Frame(10)}, options), std::invalid_argument);
}

}  // namespace
}  // namespace ksv::simcam
