#include "simcam/adpcm_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "simcam/tests/adpcm_reference.h"

namespace ksv::simcam {
namespace {

using testing::DecodeAdpcm;

std::vector<int16_t> Sine(size_t count, double frequency, double amplitude) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<int16_t>(
        amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / 8000));
  }
  return samples;
}

double SignalToNoise(const std::vector<int16_t>& signal, const std::vector<int16_t>& decoded) {
  double power = 0, noise = 0;
  for (size_t i = 0; i < signal.size(); ++i) {
    power += static_cast<double>(signal[i]) * signal[i];
    const double d = static_cast<double>(signal[i]) - decoded[i];
    noise += d * d;
  }
  return 10 * std::log10(power / noise);
}

TEST(AdpcmEncoder, BlocksOf258BytesCarry512Samples) {
  EXPECT_EQ(EncodeAdpcm(std::vector<int16_t>(512)).size(), 258u);
  EXPECT_EQ(EncodeAdpcm(std::vector<int16_t>(513)).size(), 516u);
  EXPECT_EQ(EncodeAdpcm(std::vector<int16_t>(1024)).size(), 516u);
  EXPECT_TRUE(EncodeAdpcm({}).empty());
}

TEST(AdpcmEncoder, DecodesBackToTheSoundAcrossBlocks) {
  const std::vector<int16_t> sound = Sine(8000, 440.0, 12000.0);
  const std::vector<uint8_t> blocks = EncodeAdpcm(sound);
  ASSERT_EQ(blocks.size(), 16u * 258u);  // 8000 samples: 15.6 blocks
  const std::vector<int16_t> decoded = DecodeAdpcm(blocks);
  ASSERT_EQ(decoded.size(), 16u * 512u);
  EXPECT_GT(SignalToNoise(sound, decoded), 25.0);
  // The last block is completed with silence.
  EXPECT_LT(std::abs(decoded.back()), 300);
}

TEST(AdpcmEncoder, EachBlockStartsFromItsFirstSampleAndTheRunningStepIndex) {
  std::vector<int16_t> sound = Sine(1024, 300.0, 20000.0);
  const std::vector<uint8_t> blocks = EncodeAdpcm(sound);
  for (size_t b = 0; b < 2; ++b) {
    const int predictor = (blocks[b * 258] - 128) * 256;
    EXPECT_LE(std::abs(predictor - sound[b * 512]), 128) << "block " << b;
  }
  EXPECT_EQ(blocks[1], 0);         // the first block starts at the smallest step
  EXPECT_GT(blocks[258 + 1], 20);  // the second one where the loud first one ended
  EXPECT_LE(blocks[258 + 1], 88);
}

TEST(AdpcmEncoder, LowNibbleIsTheEarlierSample) {
  // From silence, the first sample stays and the second falls: a code with
  // the sign bit clear, then one with it set.
  std::vector<int16_t> sound(512, 0);
  sound[1] = -5000;
  const std::vector<uint8_t> blocks = EncodeAdpcm(sound);
  EXPECT_EQ(blocks[2] & 0x08, 0);
  EXPECT_EQ(blocks[2] & 0x80, 0x80);
}

TEST(AdpcmEncoder, LoudestSoundsStayWithinRange) {
  std::vector<int16_t> sound(2048);
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = (i / 8) % 2 ? 32767 : -32768;
  const std::vector<int16_t> decoded = DecodeAdpcm(EncodeAdpcm(sound));
  EXPECT_GT(SignalToNoise(sound, decoded), 5.0);  // a square wave at full scale still follows
}

}  // namespace
}  // namespace ksv::simcam
