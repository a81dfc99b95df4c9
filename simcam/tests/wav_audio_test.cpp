#include "simcam/wav_audio.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/byte_order.h"

namespace ksv::simcam {
namespace {

// A WAV file of 16-bit samples with `channels` interleaved.
std::vector<uint8_t> Wav16(const std::vector<int16_t>& interleaved, uint16_t channels,
                           uint32_t rate) {
  const auto dataSize = static_cast<uint32_t>(interleaved.size() * 2);
  std::vector<uint8_t> file(44);
  std::memcpy(&file[0], "RIFF", 4);
  support::StoreLe32(file, 4, 36 + dataSize);
  std::memcpy(&file[8], "WAVEfmt ", 8);
  support::StoreLe32(file, 16, 16);
  support::StoreLe16(file, 20, 1);
  support::StoreLe16(file, 22, channels);
  support::StoreLe32(file, 24, rate);
  support::StoreLe32(file, 28, rate * channels * 2);
  support::StoreLe16(file, 32, static_cast<uint16_t>(channels * 2));
  support::StoreLe16(file, 34, 16);
  std::memcpy(&file[36], "data", 4);
  support::StoreLe32(file, 40, dataSize);
  for (int16_t s : interleaved) support::AppendLe16(file, static_cast<uint16_t>(s));
  return file;
}

void ExpectRefused(const std::vector<uint8_t>& file, const std::string& reasonPart) {
  try {
    ReadWav(file);
    ADD_FAILURE() << "accepted";
  } catch (const WavError& error) {
    EXPECT_NE(std::string(error.what()).find(reasonPart), std::string::npos) << error.what();
  }
}

TEST(WavAudio, EightBitFilesRoundTrip) {
  const MonoAudio audio{8000, {-32768, -256, 0, 255, 32767}};
  const std::vector<uint8_t> file = WriteWav8(audio);
  ASSERT_EQ(file.size(), 44u + 6u);  // 5 samples and a pad byte
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 44, file.begin() + 49),
            (std::vector<uint8_t>{0, 127, 128, 129, 255}));
  const MonoAudio back = ReadWav(file);
  EXPECT_EQ(back.rate, 8000u);
  EXPECT_EQ(back.samples, (std::vector<int16_t>{-32768, -256, 0, 256, 32512}));
}

TEST(WavAudio, StereoIsMixedToOneChannel) {
  const MonoAudio audio = ReadWav(Wav16({1000, 3000, -200, -400}, 2, 44100));
  EXPECT_EQ(audio.rate, 44100u);
  EXPECT_EQ(audio.samples, (std::vector<int16_t>{2000, -300}));
}

TEST(WavAudio, OtherChunksAreSkipped) {
  std::vector<uint8_t> file = Wav16({7, 8}, 1, 8000);
  // A 3-byte LIST chunk (padded to 4) before "fmt ".
  const std::vector<uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  file.insert(file.begin() + 12, list.begin(), list.end());
  EXPECT_EQ(ReadWav(file).samples, (std::vector<int16_t>{7, 8}));
}

TEST(WavAudio, FilesItCannotUseAreRefusedWithTheReason) {
  const std::vector<uint8_t> good = Wav16({1, 2, 3}, 1, 8000);
  ExpectRefused({'R', 'I', 'F', 'F'}, "not a WAV file");
  std::vector<uint8_t> file = good;
  support::StoreLe16(file, 34, 24);
  ExpectRefused(file, "24 bits");
  file = good;
  support::StoreLe16(file, 20, 2);  // Microsoft ADPCM
  ExpectRefused(file, "not PCM");
  file = good;
  support::StoreLe32(file, 40, 1000);  // data runs past the end
  ExpectRefused(file, "past the end");
  file = good;
  support::StoreLe32(file, 24, 500);
  ExpectRefused(file, "500 Hz");
  file = good;
  std::memcpy(&file[12], "junk", 4);  // no format
  ExpectRefused(file, "without a format");
  file = good;
  file.resize(36);
  ExpectRefused(file, "without data");
}

TEST(WavAudio, ResamplingScalesTheLengthAndFollowsTheWave) {
  MonoAudio ramp{8000, {}};
  for (int i = 0; i < 800; ++i) ramp.samples.push_back(static_cast<int16_t>(i * 10));
  const MonoAudio up = Resample(ramp, 12000);
  EXPECT_EQ(up.rate, 12000u);
  EXPECT_EQ(up.samples.size(), 1200u);
  EXPECT_EQ(up.samples[3], 20);  // position 2 of the ramp
  EXPECT_EQ(up.samples[1], 7);   // two thirds between 0 and 10, rounded
  const MonoAudio down = Resample(ramp, 4000);
  EXPECT_EQ(down.samples.size(), 400u);
  EXPECT_EQ(down.samples[10], 200);
  EXPECT_TRUE(Resample(MonoAudio{8000, {}}, 12000).samples.empty());
}

}  // namespace
}  // namespace ksv::simcam
