// The simulated camera's control side and the live video it sends.
#include "simcam/camera_registers.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec/decoder.h"
#include "simcam/camera_video.h"
#include "simcam/frame_encoder.h"
#include "simcam/test_pattern.h"
#include "support/picture/colour.h"

namespace ksv::simcam {
namespace {

int32_t Out(CameraRegisters& camera, uint8_t request, uint16_t value, uint16_t index) {
  return camera.VendorRequest(false, request, value, index, {});
}

std::vector<uint8_t> In(CameraRegisters& camera, uint8_t request, uint16_t index, size_t length) {
  std::vector<uint8_t> data(length, 0xAA);
  if (camera.VendorRequest(true, request, 0, index, data) < 0) return {};
  return data;
}

TEST(CameraRegisters, AnswersStatusBusyAndRegistersAsTheDriverAsks) {
  CameraBehaviour behaviour;
  behaviour.statusByte = 0x34;
  behaviour.busyAnswers = 2;
  CameraRegisters camera(behaviour);
  EXPECT_EQ(In(camera, 0x05, 1, 1), std::vector<uint8_t>{0x0D}) << "the status byte >> 2";
  EXPECT_EQ(In(camera, 0x06, 0, 1), std::vector<uint8_t>{0});
  EXPECT_EQ(Out(camera, 0xE0, 0, 0), 0);
  EXPECT_EQ(In(camera, 0x06, 0, 1), std::vector<uint8_t>{1});
  EXPECT_EQ(In(camera, 0x06, 0, 1), std::vector<uint8_t>{1});
  EXPECT_EQ(In(camera, 0x06, 0, 1), std::vector<uint8_t>{0});
  EXPECT_EQ(Out(camera, 0x00, 0x1234, 0x8167), 0);
  EXPECT_EQ(camera.Register(0x8167), 0x34) << "the low byte of the value";
  EXPECT_EQ(In(camera, 0x00, 0x800D, 2), (std::vector<uint8_t>{0x08, 0x00}));
  EXPECT_EQ(Out(camera, 0x0C, 3, 0), 0);
  EXPECT_EQ(camera.Mode(), 3);
  EXPECT_LT(camera.VendorRequest(true, 0x42, 0, 0, {}), 0) << "an unknown request stalls";
  camera.Behaviour().failingRequests = {0x06};
  EXPECT_TRUE(In(camera, 0x06, 0, 1).empty());
  EXPECT_EQ(camera.Calls().size(), 11u);
}

TEST(CameraRegisters, TheEngineAnswers0x44AfterItsDelayOrNever) {
  CameraBehaviour behaviour;
  behaviour.engineBusyReads = 3;
  CameraRegisters camera(behaviour);
  Out(camera, 0x00, 4, 0x8000);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(In(camera, 0x00, 0x8000, 1), std::vector<uint8_t>{0});
  EXPECT_EQ(In(camera, 0x00, 0x8000, 1), std::vector<uint8_t>{0x44});
  camera.Behaviour().engineNeverReady = true;
  Out(camera, 0x00, 4, 0x8000);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(In(camera, 0x00, 0x8000, 1), std::vector<uint8_t>{0});
}

TEST(CameraRegisters, AlternateSettingsHaveTheRateTablesPacketSizesUnlessRefused) {
  CameraBehaviour behaviour;
  behaviour.refusedSettings.set(5);
  CameraRegisters camera(behaviour);
  const uint16_t expected[] = {0, 128, 384, 512, 640, 768, 896, 1023};
  for (uint8_t setting = 0; setting < 8; ++setting) {
    uint16_t size = 1;
    EXPECT_EQ(camera.SelectAlternateSetting(setting, size), setting != 5) << int{setting};
    if (setting != 5) {
      EXPECT_EQ(size, expected[setting]);
    }
  }
  uint16_t size = 0;
  EXPECT_FALSE(camera.SelectAlternateSetting(8, size));
}

// The camera compresses with the tables written into it, not its own.
TEST(CameraVideo, SendsFramesCompressedWithTheWrittenTablesAtTheProgrammedSize) {
  CameraRegisters camera;
  uint16_t size = 0;
  ASSERT_TRUE(camera.SelectAlternateSetting(1, size));
  Out(camera, 0x00, 16, 0x8003);  // 160 x 128
  Out(camera, 0x00, 2, 0x8880);   // level 2
  codec::QuantPair tables;
  for (size_t i = 0; i < 64; ++i) {
    tables.luminance[i] = static_cast<uint8_t>(3 + i);
    tables.chrominance[i] = static_cast<uint8_t>(70 - i);
    Out(camera, 0x00, tables.luminance[i], static_cast<uint16_t>(0x8800 + i));
    Out(camera, 0x00, tables.chrominance[i], static_cast<uint16_t>(0x8840 + i));
  }
  const auto scene = TestPatternScene();
  CameraVideo video(camera, *scene, 30);
  EXPECT_EQ(video.NextPacket().bytes.size(), 0u) << "not streaming yet";
  Out(camera, 0xE0, 0, 0);
  Out(camera, 0x00, 4, 0x8000);
  In(camera, 0x00, 0x8000, 1);
  In(camera, 0x00, 0x8000, 1);
  ASSERT_TRUE(camera.IsStreaming());

  std::vector<uint8_t> frame;
  IsoPacket* packet = &video.NextPacket();
  ASSERT_EQ(packet->bytes.size(), 128u);
  ASSERT_EQ(packet->bytes[0], 0xFF);
  ASSERT_EQ(packet->bytes[1], 0x01);
  frame.insert(frame.end(), packet->bytes.begin() + 1, packet->bytes.end());
  for (packet = &video.NextPacket(); packet->bytes.size() == 128 && packet->bytes[0] != 0xFF;
       packet = &video.NextPacket()) {
    frame.insert(frame.end(), packet->bytes.begin() + 1, packet->bytes.end());
  }
  EXPECT_EQ(frame[7], 2) << "the level byte";
  const std::vector<uint8_t> entropy =
      EncodeEntropyData(picture::RgbToPlanar(TestPattern(160, 128, 0)), tables);
  ASSERT_GE(frame.size(), 15 + entropy.size());
  EXPECT_TRUE(std::equal(entropy.begin(), entropy.end(), frame.begin() + 15));
}

}  // namespace
}  // namespace ksv::simcam
