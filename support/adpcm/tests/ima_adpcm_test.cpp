#include "support/adpcm/ima_adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace ksv::adpcm {
namespace {

double SignalToNoise(const std::vector<int16_t>& signal, const std::vector<int16_t>& decoded) {
  double power = 0, noise = 0;
  for (size_t i = 0; i < signal.size(); ++i) {
    power += double(signal[i]) * signal[i];
    const double d = double(signal[i]) - decoded[i];
    noise += d * d;
  }
  return 10 * std::log10(power / std::max(noise, 1.0));
}

int16_t Tone(size_t i, double frequency, double amplitude, double rate) {
  return static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * frequency * double(i) / rate));
}

TEST(CameraBlock, DecodesAHandBuiltBlockByTheRules) {
  std::array<uint8_t, kCameraBlockBytes> block{};
  block[0] = 129;   // predictor (129 - 128) * 256 = 256, not emitted
  block[1] = 0;     // step 7
  block[2] = 0x74;  // 4: +7 -> 263 (index 2, step 9); 7: +(1+9+4+2) -> 279 (index 10, step 19)
  block[3] = 0x8F;  // F: -(2+19+9+4) -> 245 (index 18, step 41); 8: -(41>>3) -> 240 (index 17)
  // The rest: code 0 (+step/8) from index 17 falling by one a code.
  std::array<int16_t, kCameraBlockSamples> samples{};
  DecodeCameraBlock(block, samples);
  EXPECT_EQ(samples[0], 263);
  EXPECT_EQ(samples[1], 279);
  EXPECT_EQ(samples[2], 245);
  EXPECT_EQ(samples[3], 240);
  EXPECT_EQ(samples[4], 240 + 37 / 8) << "index 17: step 37";
  EXPECT_EQ(samples[5], 240 + 37 / 8 + 34 / 8) << "index 16: step 34";

  // Loud extremes clamp; a step index past the table is taken as its end.
  block.fill(0x77);  // +largest step each time
  block[0] = 255;    // 127 * 256 = 32512
  block[1] = 200;
  DecodeCameraBlock(block, samples);
  EXPECT_EQ(samples[0], 32767);
  EXPECT_EQ(samples[511], 32767);
  block.fill(0xFF);
  block[0] = 0;  // -32768
  block[1] = 88;
  DecodeCameraBlock(block, samples);
  EXPECT_EQ(samples[0], -32768);
}

TEST(CameraBlock, EncodingRoundsThePredictorAndCarriesTheStepIndex) {
  std::vector<int16_t> sound(1024);
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = Tone(i, 300, 20000, 8000);
  sound[0] = 1000;  // rounds to the header's 4 x 256
  int index = 0;
  std::array<uint8_t, kCameraBlockBytes> first{}, second{};
  EncodeCameraBlock(std::span<const int16_t, 512>(sound.data(), 512), &index, first);
  const int carried = index;
  EncodeCameraBlock(std::span<const int16_t, 512>(sound.data() + 512, 512), &index, second);
  EXPECT_EQ(first[0], 128 + 4);
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(second[1], carried);
  EXPECT_GT(carried, 20) << "a loud block ends on a large step";
  std::vector<int16_t> decoded(1024);
  DecodeCameraBlock(first, std::span<int16_t, 512>(decoded.data(), 512));
  DecodeCameraBlock(second, std::span<int16_t, 512>(decoded.data() + 512, 512));
  sound[0] = Tone(0, 300, 20000, 8000);
  EXPECT_GT(SignalToNoise(sound, decoded), 20.0);
}

TEST(WavBlock, SamplesPerBlockAndUsualSizes) {
  EXPECT_EQ(WavSamplesPerBlock(256, 1), 505u);
  EXPECT_EQ(WavSamplesPerBlock(512, 2), 505u);
  EXPECT_EQ(WavSamplesPerBlock(1024, 2), 1017u);
  EXPECT_EQ(WavSamplesPerBlock(36, 1), 65u);
  EXPECT_EQ(WavSamplesPerBlock(4, 1), 0u) << "a header and no codes";
  EXPECT_EQ(WavSamplesPerBlock(258, 1), 0u) << "not whole runs";
  EXPECT_EQ(WavSamplesPerBlock(260, 2), 0u);
  EXPECT_EQ(WavSamplesPerBlock(256, 3), 0u);
  EXPECT_EQ(WavBlockAlignFor(8000, 1), 256u);
  EXPECT_EQ(WavBlockAlignFor(22050, 2), 1024u);
  EXPECT_EQ(WavBlockAlignFor(44100, 1), 1024u);
}

// Encodes `blocks` whole blocks of interleaved sound and decodes them again.
std::vector<int16_t> RoundTrip(const std::vector<int16_t>& sound, int channels, size_t blockAlign) {
  const size_t perBlock = WavSamplesPerBlock(blockAlign, channels) * size_t(channels);
  std::vector<int16_t> decoded(sound.size());
  std::vector<uint8_t> block(blockAlign);
  std::array<int, 2> indexes{0, 0};
  for (size_t at = 0; at + perBlock <= sound.size(); at += perBlock) {
    EXPECT_TRUE(EncodeWavBlock(std::span(sound).subspan(at, perBlock), channels, &indexes, block));
    EXPECT_TRUE(DecodeWavBlock(block, channels, std::span(decoded).subspan(at, perBlock)));
  }
  return decoded;
}

TEST(WavBlock, MonoAndStereoRoundTripWithTheHeaderSampleExact) {
  const size_t perBlock = WavSamplesPerBlock(256, 1);
  std::vector<int16_t> mono(perBlock * 8);
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = Tone(i, 440, 12000, 11025);
  const std::vector<int16_t> monoBack = RoundTrip(mono, 1, 256);
  EXPECT_GT(SignalToNoise(mono, monoBack), 25.0);
  for (size_t at = 0; at < mono.size(); at += perBlock) EXPECT_EQ(monoBack[at], mono[at]);

  // Left a tone, right silence: codes of one channel never reach the other.
  std::vector<int16_t> stereo(WavSamplesPerBlock(512, 2) * 2 * 6);
  for (size_t i = 0; i < stereo.size() / 2; ++i) stereo[2 * i] = Tone(i, 700, 15000, 22050);
  const std::vector<int16_t> stereoBack = RoundTrip(stereo, 2, 512);
  std::vector<int16_t> left, leftBack;
  int loudestRight = 0;
  for (size_t i = 0; i < stereo.size() / 2; ++i) {
    left.push_back(stereo[2 * i]);
    leftBack.push_back(stereoBack[2 * i]);
    loudestRight = std::max(loudestRight, std::abs(int(stereoBack[2 * i + 1])));
  }
  EXPECT_GT(SignalToNoise(left, leftBack), 25.0);
  EXPECT_LT(loudestRight, 16) << "silence stays (nearly) silent";
}

TEST(WavBlock, RefusesBlocksAndBuffersThatDoNotFit) {
  std::vector<uint8_t> block(256, 0x11);
  std::vector<int16_t> samples(504, 7);
  EXPECT_FALSE(DecodeWavBlock(block, 1, samples)) << "one sample short";
  EXPECT_EQ(samples[0], 7) << "nothing written";
  samples.resize(505);
  EXPECT_FALSE(DecodeWavBlock(std::span(block).first(255), 1, samples));
  block[2] = 250;  // a step index past the table
  EXPECT_TRUE(DecodeWavBlock(block, 1, samples));
  std::array<int, 2> indexes{0, 0};
  EXPECT_FALSE(EncodeWavBlock(std::vector<int16_t>(100), 1, &indexes, block));
}

}  // namespace
}  // namespace ksv::adpcm
