#include "platform/usbcamd/packet_capture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ksv::platform::usbcamd {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string text;
  for (int value : values) text.push_back(static_cast<char>(value));
  return text;
}

TEST(PacketCapture, WritesEveryFieldLittleEndianAtItsOffset) {
  std::ostringstream out;
  PacketCaptureWriter writer(out, 0x0280);
  const uint8_t packet[] = {0xFF, 0x01, 0xAB};
  writer.Write(0x0102030405060708, USBD_STATUS_ISO_NOT_ACCESSED_BY_HW, packet);
  const std::string expected =
      "KSVISO01" + Bytes({0x80, 0x02, 0, 0}) +
      Bytes({0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}) + Bytes({0, 0, 0x02, 0xC0}) +
      Bytes({3, 0, 0, 0}) + Bytes({0xFF, 0x01, 0xAB});
  EXPECT_EQ(out.str(), expected);
}

TEST(PacketCapture, ReadsBackWhatWasWritten) {
  std::stringstream file;
  PacketCaptureWriter writer(file, 640);
  const std::vector<uint8_t> full(640, 0x5A);
  writer.Write(10'000, USBD_STATUS_SUCCESS, full);
  writer.Write(20'000, USBD_STATUS_SUCCESS, {});
  writer.Write(30'000, -5, std::vector<uint8_t>{1, 2, 3});

  PacketCaptureReader reader(file);
  EXPECT_EQ(reader.MaximumPacketSize(), 640);
  CaptureRecord record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.time, 10'000u);
  EXPECT_EQ(std::vector<uint8_t>(record.bytes.begin(), record.bytes.end()), full);
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.time, 20'000u);
  EXPECT_TRUE(record.bytes.empty());
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.status, -5);
  EXPECT_EQ(std::vector<uint8_t>(record.bytes.begin(), record.bytes.end()),
            (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(reader.Next(record));
  EXPECT_EQ(reader.RecordsRead(), 3u);
}

TEST(PacketCapture, RefusesWhatIsNotACapture) {
  for (const std::string& file :
       {std::string("KSVISO0"), std::string("KSVISO02") + Bytes({0x80, 2, 0, 0}),
        "KSVISO01" + Bytes({0, 0, 0, 0}), "KSVISO01" + Bytes({0x80, 2, 1, 0})}) {
    std::istringstream in(file);
    EXPECT_THROW(PacketCaptureReader reader(in), CaptureFormatError) << file.size();
  }
}

TEST(PacketCapture, ACutOffOrOverlongRecordIsAnErrorNotAPacket) {
  const std::string header = "KSVISO01" + Bytes({0x80, 2, 0, 0});
  const std::string recordHead = std::string(8, '\0') + std::string(4, '\0');
  const std::string cases[] = {
      header + std::string(10, '\0'),                            // header cut off
      header + recordHead + Bytes({4, 0, 0, 0}) + "abc",         // 3 of 4 bytes
      header + recordHead + Bytes({0, 0, 1, 0}) + std::string(70000, 'x'),  // 65536 bytes
  };
  for (const std::string& file : cases) {
    std::istringstream in(file);
    PacketCaptureReader reader(in);
    CaptureRecord record;
    EXPECT_THROW(reader.Next(record), CaptureFormatError) << file.size();
  }
}

}  // namespace
}  // namespace ksv::platform::usbcamd
