// `ksvcam resample` on WAV files it writes itself, with the plug-ins that
// `setup` registers from the build's lib/ksv; ffprobe checks the result
// when it is there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam::testing {
namespace {

namespace fs = std::filesystem;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(uint8_t(value & 0xFF));
  out.push_back(uint8_t(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// A PCM WAV file of a 440 Hz tone, `frames` frames long.
std::vector<uint8_t> Wav(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames) {
  const uint16_t align = uint16_t(channels * bits / 8);
  const uint32_t data = frames * align;
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  Put32(out, 36 + data);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * align);
  Put16(out, align);
  Put16(out, bits);
  PutTag(out, "data");
  Put32(out, data);
  for (uint32_t i = 0; i < frames; ++i) {
    const double value = 8000 * std::sin(2 * M_PI * 440 * double(i) / rate);
    for (uint16_t c = 0; c < channels; ++c) {
      if (bits == 16) {
        Put16(out, uint16_t(int16_t(std::lround(value))));
      } else {
        out.push_back(uint8_t(128 + std::lround(value / 256)));
      }
    }
  }
  return out;
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

std::string Probe(const fs::path& file) {
  if (std::system("ffprobe -version >/dev/null 2>&1") != 0) return {};
  FILE* pipe = popen(("ffprobe -v error -select_streams a:0 -show_entries "
                      "stream=codec_name,sample_rate,channels -of csv=p=0 '" +
                      file.string() + "'")
                         .c_str(),
                     "r");
  std::string text;
  char buffer[256];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  pclose(pipe);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class ResampleCommand : public ::testing::Test {
 protected:
  ResampleCommand() {
    ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1);
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
  }
  ~ResampleCommand() override {
    ::unsetenv("KSV_MODULE_DIR");
    ::unsetenv("KSV_ROOT");
  }
  TempFolder folder_;
};

TEST_F(ResampleCommand, ConvertsAWavFileAndShowsThePlan) {
  const fs::path in = folder_ / "in.wav";
  const fs::path out = folder_ / "out.wav";
  WriteBytes(in, Wav(8000, 1, 8, 8000));  // 1 s
  const CommandRun run = RunKsvcam({"resample", in.string(), "-o", out.string(), "--rate", "22050",
                                    "--channels", "2", "--bits", "16", "--show-plan"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("conversion type 6, stages: poly x2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("block frames 320 in, 882 out (320 -> 3528 bytes)"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("L 441, M 320, stride 441"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("8000 Hz mono 8-bit -> 22050 Hz stereo 16-bit"), std::string::npos) << run.out;

  const std::vector<uint8_t> wav = ReadBytes(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(Read32(wav, 24), 22050u) << "sample rate";
  EXPECT_EQ(wav[22], 2) << "channels";
  EXPECT_EQ(wav[34], 16) << "bits";
  // 25 blocks of 40 ms: one second of sound, the last block padded.
  EXPECT_EQ(Read32(wav, 40), 25u * 3528u);
  const std::string probed = Probe(out);
  if (!probed.empty()) {
    EXPECT_EQ(probed, "pcm_s16le,22050,2");
  }
}

TEST_F(ResampleCommand, TheOutputIsAsLongAsTheInputAndTheSummarySaysSo) {
  // 5.541 s: the last block of the conversion holds a part of a block.
  const fs::path in = folder_ / "in.wav";
  const fs::path out = folder_ / "out.wav";
  WriteBytes(in, Wav(22050, 1, 16, 122180));
  const CommandRun run = RunKsvcam({"resample", in.string(), "-o", out.string(), "--rate", "8000"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> wav = ReadBytes(out);
  ASSERT_GE(wav.size(), 44u);
  // 122180 frames at 22050 Hz are 44328.3 frames at 8000 Hz.
  EXPECT_EQ(Read32(wav, 40), 44328u * 2) << "no padding after the input's last sample";
  EXPECT_NE(run.out.find(": 5.541 s of sound, 8000 Hz mono PCM"), std::string::npos) << run.out;
}

TEST_F(ResampleCommand, TheConverterIsListedUnderItsNameAndNotForInsertion) {
  const CommandRun run = RunKsvcam({"filters", "--category", "legacy"});
  ASSERT_EQ(run.status, 0) << run.err;
  // The name column is as wide as the longest name.
  EXPECT_TRUE(std::regex_search(run.out, std::regex("  Tarvio Sample Rate Convert +"
                                                    "\\{1B122EA0-139C-11D5-B7CF-009027941EAF\\}  "
                                                    "merit 0x00200000\n")))
      << run.out;
}

TEST_F(ResampleCommand, NamesWhyAnInputCannotBeConverted) {
  const fs::path notes = folder_ / "notes.txt";
  WriteBytes(notes, {'h', 'i', '\n'});
  const CommandRun text = RunKsvcam({"resample", notes.string(), "-o", (folder_ / "t.wav").string()});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.err, "ksvcam: error: '" + notes.string() + "': not a WAV file\n");

  const fs::path fast = folder_ / "fast.wav";
  WriteBytes(fast, Wav(96000, 1, 16, 960));
  CommandRun run = RunKsvcam({"resample", fast.string(), "-o", (folder_ / "x.wav").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("96000 Hz: the converter takes 6025 to 48000 Hz"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(folder_ / "x.wav"));

  const fs::path same = folder_ / "same.wav";
  WriteBytes(same, Wav(22050, 1, 16, 2205));
  run = RunKsvcam({"resample", same.string(), "-o", (folder_ / "y.wav").string(), "--rate", "22050"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nothing to convert"), std::string::npos) << run.err;
  run = RunKsvcam({"resample", same.string(), "-o", (folder_ / "y.wav").string(), "--bits", "24"});
  EXPECT_EQ(run.status, 2) << "a usage error";
}

}  // namespace
}  // namespace ksv::ksvcam::testing
