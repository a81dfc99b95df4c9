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

TEST(SimulatedCapture, LostPacketsStillTakeTheirBusFrame) {
  CaptureOptions options;
  options.maximumPacketSize = 128;
  options.faults = [](uint32_t frame, uint32_t packet, uint32_t) {
    return frame == 0 && packet == 2 ? PacketFault::kLost : PacketFault::kNone;
  };
  std::ostringstream out;
  const CaptureSummary summary = WriteSimulatedCapture(out, std::vector<std::vector<uint8_t>>{Frame(500)}, options);
  EXPECT_EQ(summary.faults.lost, 1u);
  EXPECT_EQ(summary.damagedFrames, 1u);
  uint16_t packetSize = 0;
  const std::vector<Record> records = ReadAll(out.str(), packetSize);
  EXPECT_EQ(records.back().time, 34 * kBusFrameTicks) << "the next frame still starts on time";
  EXPECT_EQ(records.size(), 34u) << "34 bus frames, one of them empty, and the next start";
}

TEST(SimulatedCapture, RefusesARateOutOfRange) {
  std::ostringstream out;
  CaptureOptions options;
  options.framesPerSecond = 0;
  EXPECT_THROW(WriteSimulatedCapture(out, std::vector<std::vector<uint8_t>>{Frame(10)}, options), std::invalid_argument);
}

}  // namespace
}  // namespace ksv::simcam
