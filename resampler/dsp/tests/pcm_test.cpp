// Sample conversions: PCM to float and back with their rounding and
// saturation, channel mixing, and the integer-only same-rate conversions.
#include <gtest/gtest.h>

#include <vector>

#include "resampler/dsp/converter.h"
#include "resampler/dsp/pcm.h"
#include "resampler/dsp/plan.h"

namespace ksv::resampler {
namespace {

TEST(ResamplerPcm, FloatTo16BitRoundsToEvenAndSaturates) {
  EXPECT_EQ(FloatToPcm16(40000.0f), 32767);
  EXPECT_EQ(FloatToPcm16(-40000.0f), -32768);
  EXPECT_EQ(FloatToPcm16(32767.0f), 32767);
  EXPECT_EQ(FloatToPcm16(-32767.0f), -32768);  // the magnitude rule, not the value
  EXPECT_EQ(FloatToPcm16(32766.6f), 32767);
  EXPECT_EQ(FloatToPcm16(2.5f), 2);
  EXPECT_EQ(FloatToPcm16(3.5f), 4);
  EXPECT_EQ(FloatToPcm16(-2.5f), -2);
  EXPECT_EQ(FloatToPcm16(-0.4f), 0);
}

TEST(ResamplerPcm, FloatTo8BitTruncatesTowardZero) {
  EXPECT_EQ(FloatToPcm8(-100.0f), 128);
  EXPECT_EQ(FloatToPcm8(-256.0f), 127);
  EXPECT_EQ(FloatToPcm8(-511.9f), 127);
  EXPECT_EQ(FloatToPcm8(511.9f), 129);
  EXPECT_EQ(FloatToPcm8(40000.0f), 255);
  EXPECT_EQ(FloatToPcm8(-40000.0f), 0);
}

TEST(ResamplerPcm, PcmToFloatAndMixing) {
  EXPECT_EQ(Pcm8ToFloat(0), -32768.0f);
  EXPECT_EQ(Pcm8ToFloat(255), 32512.0f);
  EXPECT_EQ(Mix16ToFloat(32767, 32767), 32767.0f);
  EXPECT_EQ(Mix16ToFloat(-32768, -32768), -32768.0f);
  EXPECT_EQ(Mix16ToFloat(3, -3), 0.0f);     // 2 + (-2)
  EXPECT_EQ(Mix8ToFloat(128, 128), 0.0f);
  EXPECT_EQ(Mix8ToFloat(255, 255), 32512.0f);
  EXPECT_EQ(Mix8ToFloat(0, 0), -32768.0f);
  EXPECT_EQ(Mix8ToFloat(200, 56), 0.0f);    // 36 + 28 - 64
}

std::vector<uint8_t> SameRate(PcmFormat in, PcmFormat out, const std::vector<uint8_t>& block) {
  ResamplePlan plan;
  const int32_t frames = static_cast<int32_t>(block.size()) / (in.channels * in.bits / 8);
  EXPECT_EQ(MakePlan(in, out, frames, plan), PlanStatus::kOk);
  EXPECT_EQ(plan.conversionType, ConversionType::kSameRate);
  BlockConverter converter(plan);
  std::vector<uint8_t> result(static_cast<size_t>(plan.outBlockBytes));
  EXPECT_TRUE(converter.Convert(block, result));
  return result;
}

TEST(ResamplerPcm, SameRateConversionsUseIntegersOnly) {
  // 8 to 8 bit: mono to stereo duplicates, stereo to mono ((L + 1) >> 1) + R / 2.
  EXPECT_EQ(SameRate({8000, 1, 8}, {8000, 2, 8}, {0, 200}), (std::vector<uint8_t>{0, 0, 200, 200}));
  EXPECT_EQ(SameRate({8000, 2, 8}, {8000, 1, 8}, {255, 255, 0, 1, 4, 9}), (std::vector<uint8_t>{255, 0, 6}));
  // 8 to 16 bit.
  EXPECT_EQ(SameRate({8000, 1, 8}, {8000, 1, 16}, {0, 129}), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x01}));
  // stereo to mono: ((R / 2) - 64 + ((L - 127) >> 1)) * 256; L = 0, R = 0: -128 * 256.
  EXPECT_EQ(SameRate({8000, 2, 8}, {8000, 1, 16}, {0, 0, 255, 255}), (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x7f}));
  // 16 to 8 bit: (s >> 8) + 128, the shift arithmetic: -1 gives 127.
  EXPECT_EQ(SameRate({8000, 1, 16}, {8000, 2, 8}, {0xff, 0xff, 0xff, 0x7f}), (std::vector<uint8_t>{127, 127, 255, 255}));
  // stereo to mono (((R >> 1) + ((L + 1) >> 1)) >> 8) + 128: L = R = -32768 gives 0.
  EXPECT_EQ(SameRate({8000, 2, 16}, {8000, 1, 8}, {0x00, 0x80, 0x00, 0x80}), (std::vector<uint8_t>{0}));
  // 16 to 16 bit: stereo to mono ((L + 1) >> 1) + (R >> 1): 3, -3 gives 0; 1, 1 gives 1.
  EXPECT_EQ(SameRate({8000, 2, 16}, {8000, 1, 16}, {3, 0, 0xfd, 0xff, 1, 0, 1, 0}), (std::vector<uint8_t>{0, 0, 1, 0}));
  EXPECT_EQ(SameRate({8000, 1, 16}, {8000, 2, 16}, {0x34, 0x12}), (std::vector<uint8_t>{0x34, 0x12, 0x34, 0x12}));
}

}  // namespace
}  // namespace ksv::resampler
