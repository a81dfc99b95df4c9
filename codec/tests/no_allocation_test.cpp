// Decoding allocates nothing: every buffer comes from SetUp().
#include <gtest/gtest.h>

#include "testing/allocation_counter.h"
#include "codec/decoder.h"
#include "test_frames.h"

namespace ksv::codec {
namespace {

TEST(NoAllocation, DecodingEveryPathAllocatesNothing) {
  auto frame = testing::ReadFile(testing::TestDataPath("frames/hubble_deep_field_160x128_L1.frame"));
  auto qvga = testing::ReadFile(testing::TestDataPath("frames/astronaut_320x240_L0.frame"));
  DecoderTables decoder;
  StoredFrameDecoder stored;
  ASSERT_TRUE(decoder.SetUp());
  ASSERT_TRUE(stored.SetUp());
  ASSERT_TRUE(stored.Prepare({160, 120}, OutputCode::kBgr24));
  std::vector<uint8_t> out(Rgb24Bytes({320, 240}));
  DecoderContext context;
  SetGammaLevel(context, 3);
  uint32_t written = 0;

  long before = ksv::testing::AllocationCount();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(decoder.DecodeFrame(context, frame, out, written, {160, 128}, {160, 120}, kCompressionRgb));
    EXPECT_TRUE(decoder.DecodeFrame(context, frame, out, written, {160, 128}, {160, 120}, kCompressionI420));
    EXPECT_TRUE(decoder.DecodeFrame(DecoderContext{}, qvga, out, written, {320, 240}, {320, 240}, kCompressionRgb));
    EXPECT_TRUE(decoder.DecodeFrame(context, qvga, out, written, {320, 240}, {320, 240}, kCompressionIYUV));
    std::span<const uint8_t> data(frame.data() + kFrameHeaderSize, frame.size() - kFrameHeaderSize);
    EXPECT_TRUE(stored.Decode(data, out, written));
  }
  EXPECT_EQ(ksv::testing::AllocationCount() - before, 0);
}

}  // namespace
}  // namespace ksv::codec
