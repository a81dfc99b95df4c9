// The raw-frame routine: assembly, pass-through, decoding and fallbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "driver/frame_assembly.h"
#include "driver/frame_tag.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "driver/snapshot_step.h"
#include "driver/tests/driver_fixture.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

using platform::kernel::STATUS_SUCCESS;
using testing::kThirtyFps;
using testing::PatternFrame;
using testing::RawFrame;

class RawFrameRoutine : public testing::DriverFixture {
 protected:
  // Runs the raw-frame routine on `raw`; the output is resized to what it returned.
  std::vector<uint8_t> Process(const std::vector<uint8_t>& raw, size_t outputLength,
                               FrameTag tag = {2, false}) {
    std::vector<uint8_t> output(outputLength, 0xEE);
    frameContext = tag.Value();
    uint32_t returned = 0;
    const auto packets = static_cast<uint32_t>(raw.size() / packetSize);
    EXPECT_EQ(CamProcessRawVideoFrame(nullptr, context(), &frameContext, output.data(),
                                      static_cast<uint32_t>(output.size()),
                                      const_cast<uint8_t*>(raw.data()),
                                      static_cast<uint32_t>(raw.size()), packets, &returned),
              STATUS_SUCCESS);
    EXPECT_LE(returned, output.size());
    output.resize(returned);
    return output;
  }

  std::vector<uint8_t> DirectDecode(const std::vector<uint8_t>& frame, codec::FrameSize decode,
                                    codec::FrameSize output, uint32_t compression) {
    std::vector<uint8_t> picture(codec::Rgb24Bytes(output));
    uint32_t written = 0;
    EXPECT_TRUE(ModuleDecoder().DecodeFrame(codec::DecoderContext{}, frame, picture, written,
                                            decode, output, compression));
    picture.resize(written);
    return picture;
  }
};

TEST(FrameAssembly, TakesEveryByteAfterTheSequenceNumberAndRestartsAtAFrameStart) {
  constexpr uint32_t kPacket = 16;
  std::vector<uint8_t> raw;
  for (uint8_t first : {uint8_t{0x07}, uint8_t{0xFF}, uint8_t{0x00}, uint8_t{0x01}}) {  // stray, then a frame
    std::vector<uint8_t> packet(kPacket, first);
    if (first == 0xFF) packet[1] = 0x01;
    raw.insert(raw.end(), packet.begin(), packet.end());
  }
  std::vector<uint8_t> assembly(100, 0xCC);
  const AssembledFrame frame = AssembleFrame(raw, 9, kPacket, assembly);  // 9 claimed, 4 there
  EXPECT_EQ(frame.packets, 4u);
  EXPECT_EQ(frame.bytes, 3 * 15u);
  EXPECT_FALSE(frame.overflowed);
  EXPECT_EQ(assembly[0], 0x01);
  EXPECT_EQ(assembly[14], 0xFF);
  EXPECT_EQ(assembly[15], 0x00);
  EXPECT_EQ(assembly[30], 0x01);
  EXPECT_EQ(assembly[45], 0xCC) << "nothing written past the frame";

  std::vector<uint8_t> small(40, 0xCC);
  const AssembledFrame cut = AssembleFrame(raw, 4, kPacket, small);
  EXPECT_TRUE(cut.overflowed);
  EXPECT_EQ(cut.bytes, 30u);

  StampAssembledFrame(assembly, 0x01020304, 0x0A0B0C0D);
  EXPECT_EQ(support::LoadLe32(assembly, 0), 0x01020304u);
  EXPECT_EQ(support::LoadLe32(assembly, 11), 0x0A0B0C0Du);
}

TEST_F(RawFrameRoutine, PassThroughIsTheHeaderAndTheAssembledFrame) {
  OpenStream({320, 240}, kCompressionKxjs, kThirtyFps, 256);
  extension().DecoderContext.gammaLevel = 7;
  extension().ContrastSetting = 0x1F;
  const std::vector<uint8_t> frame = PatternFrame({320, 240});
  const std::vector<uint8_t> raw = RawFrame(frame, packetSize, 0x10);
  const size_t packets = raw.size() / packetSize;

  const std::vector<uint8_t> output = Process(raw, 115200);
  ASSERT_EQ(output.size(), kPassThroughHeaderSize + packets * packetSize);
  std::vector<uint8_t> header(172, 0);
  std::memcpy(header.data(), "KXJS", 4);
  header[5] = 1;  // 256
  header[9] = 7;
  header[10] = 0x1F;
  EXPECT_EQ(std::vector<uint8_t>(output.begin(), output.begin() + 172), header);

  EXPECT_EQ(support::LoadLe32(output, 172 + 0), 115200u) << "the output length";
  EXPECT_EQ(support::LoadLe32(output, 172 + 11), packets * packetSize) << "the data bound";
  EXPECT_EQ(output[172 + 7], frame[7]) << "level";
  EXPECT_EQ(output[172 + 9], 0x10) << "status byte";
  EXPECT_TRUE(std::equal(frame.begin() + 15, frame.end(), output.begin() + 172 + 15));
}

TEST_F(RawFrameRoutine, PassThroughLargerThanTheReadersBufferIsCutAtItsEnd) {
  OpenStream({320, 240}, kCompressionKxjs, kThirtyFps, 256);
  const std::vector<uint8_t> raw = RawFrame(PatternFrame({320, 240}), packetSize);
  const std::vector<uint8_t> output = Process(raw, 1000);
  EXPECT_EQ(output.size(), 1000u);
  EXPECT_EQ(extension().TruncatedPassThroughFrames, 1u);
  EXPECT_EQ(Process(raw, 100).size(), 100u) << "shorter than the header";
  EXPECT_EQ(extension().TruncatedPassThroughFrames, 2u);
}

TEST_F(RawFrameRoutine, DecodesAndFallsBackToTheLastGoodFrame) {
  OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps);
  const std::vector<uint8_t> frame = PatternFrame({320, 240}, 3);
  const std::vector<uint8_t> expected =
      DirectDecode(frame, {320, 240}, {320, 240}, codec::kCompressionI420);

  EXPECT_EQ(Process(RawFrame(frame, packetSize), 115200), expected);

  std::vector<uint8_t> badLevel = PatternFrame({320, 240}, 9);
  badLevel[7] = 4;  // no such level: the frame does not decode
  EXPECT_EQ(Process(RawFrame(badLevel, packetSize), 115200), expected);
  EXPECT_EQ(extension().DecodeFailures, 1u);

  EXPECT_EQ(Process(RawFrame(PatternFrame({320, 240}, 9), packetSize), 115200, {3, true}),
            expected)
      << "a damaged frame repeats the last good one";

  // What repeats is the picture as it was delivered, and a newer good frame
  // takes its place.
  ASSERT_TRUE(codec::SetGammaLevel(extension().DecoderContext, 5));
  EXPECT_EQ(Process(RawFrame(badLevel, packetSize), 115200), expected) << "the gamma it had";
  const std::vector<uint8_t> newer = Process(RawFrame(PatternFrame({320, 240}, 9), packetSize), 115200);
  EXPECT_NE(newer, expected);
  EXPECT_EQ(Process(RawFrame(badLevel, packetSize), 115200), newer);
}

TEST_F(RawFrameRoutine, TheFirstFrameOfAStreamDamagedIsZeros) {
  OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps);
  const std::vector<uint8_t> raw = RawFrame(PatternFrame({320, 240}), packetSize);
  Process(raw, 115200);  // something good from before
  EXPECT_EQ(Process(raw, 115200, {1, true}), std::vector<uint8_t>(115200, 0));
}

// The camera's first whole frame of a new stream, damaged or not
// decodable, shows zeros, not the last picture of an earlier stream; once
// this stream has a good frame, that one stands in.
TEST_F(RawFrameRoutine, NoFrameOfAStreamShowsAPictureOfAnEarlierStream) {
  OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps);
  const std::vector<uint8_t> raw = RawFrame(PatternFrame({320, 240}, 3), packetSize);
  const std::vector<uint8_t> good = Process(raw, 115200);  // the earlier stream's picture
  OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps);
  const std::vector<uint8_t> zeros(115200, 0);
  EXPECT_EQ(Process(raw, 115200, {2, true}), zeros) << "damaged";
  std::vector<uint8_t> badLevel = PatternFrame({320, 240}, 9);
  badLevel[7] = 4;  // no such level: the frame does not decode
  EXPECT_EQ(Process(RawFrame(badLevel, packetSize), 115200), zeros) << "not decodable";
  EXPECT_EQ(Process(raw, 115200), good);
  EXPECT_EQ(Process(RawFrame(badLevel, packetSize), 115200), good) << "this stream's own";
}

TEST_F(RawFrameRoutine, ADamagedPassThroughFrameCarriesTheMark) {
  OpenStream({320, 240}, kCompressionKxjs, kThirtyFps);
  const std::vector<uint8_t> output =
      Process(RawFrame(PatternFrame({320, 240}), packetSize), 115200, {5, true});
  ASSERT_EQ(output.size(), 115200u);
  EXPECT_EQ(std::vector<uint8_t>(output.begin(), output.begin() + 8),
            (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 0xEE}));
}

TEST_F(RawFrameRoutine, SmallStreamIsDecodedTallerAndCropped) {
  OpenStream({160, 120}, codec::kCompressionRgb, kThirtyFps);
  EXPECT_EQ(extension().DecodeWidth, 160u);
  EXPECT_EQ(extension().DecodeHeight, 128u);
  const std::vector<uint8_t> frame = PatternFrame({160, 128});
  EXPECT_EQ(Process(RawFrame(frame, packetSize), 160 * 120 * 3),
            DirectDecode(frame, {160, 128}, {160, 120}, codec::kCompressionRgb));
}

TEST_F(RawFrameRoutine, MorePacketsThanTheAssemblyBufferHoldsAreNeverWrittenPastIt) {
  OpenStream({320, 240}, codec::kCompressionRgb, kThirtyFps);
  const std::vector<uint8_t> good = RawFrame(PatternFrame({320, 240}), packetSize);
  const std::vector<uint8_t> expected = Process(good, 230400);

  std::vector<uint8_t> huge = good;
  while (huge.size() < 2 * kAssemblyBufferSize) {
    std::vector<uint8_t> data(packetSize, 0x55);
    data[0] = 0;
    huge.insert(huge.end(), data.begin(), data.end());
  }
  EXPECT_EQ(Process(huge, 230400), expected);
  EXPECT_EQ(extension().OversizedFrames, 1u);
}

std::vector<std::vector<uint8_t>> snapshotFrames;
void RecordSnapshot(CameraDeviceExtension&, std::span<const uint8_t> frame) {
  snapshotFrames.emplace_back(frame.begin(), frame.end());
}

TEST_F(RawFrameRoutine, TheSnapshotStepSeesTheAssembledFrameWhileRequested) {
  snapshotFrames.clear();
  InstallSnapshotStep(RecordSnapshot);
  OpenStream({320, 240}, codec::kCompressionI420, kThirtyFps);
  const std::vector<uint8_t> frame = PatternFrame({320, 240});
  const std::vector<uint8_t> raw = RawFrame(frame, packetSize);
  Process(raw, 115200);
  EXPECT_TRUE(snapshotFrames.empty());

  extension().RegistrySnapshotRequest = 1;
  Process(raw, 115200, {4, true});
  EXPECT_TRUE(snapshotFrames.empty()) << "damaged frames are not offered";
  Process(raw, 115200);
  Process(raw, 115200);
  ASSERT_EQ(snapshotFrames.size(), 2u) << "the request stays set until a step clears it";
  EXPECT_EQ(snapshotFrames[0][7], frame[7]);
  EXPECT_TRUE(std::equal(frame.begin() + 15, frame.end(), snapshotFrames[0].begin() + 15));
  InstallSnapshotStep(nullptr);
}

}  // namespace
}  // namespace ksv::driver
