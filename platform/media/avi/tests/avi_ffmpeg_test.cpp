// FFmpeg as the outside judge: what our writer makes, ffprobe reads with the
// right parameters and packet counts and ffmpeg decodes without error; what
// FFmpeg writes, our reader finds packet for packet (sizes and Adler-32 of
// each chunk against `ffmpeg -f framecrc`). Skipped without FFmpeg.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "platform/media/avi/wav_file.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::media::avi {
namespace {

using test::Packet;

#define REQUIRE_FFMPEG() \
  if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg/ffprobe are not installed"

// What our index points to: per video stream each chunk's size and Adler-32
// (started at 0, as framecrc does); per audio stream one Adler-32 of all its
// bytes, since FFmpeg cuts sound into packets of its own.
struct Contents {
  std::map<int, std::vector<Packet>> video;
  std::map<int, uint32_t> audio;
};

Contents OurContents(const std::string& path) {
  FileByteSource source(path);
  const File file = ReadAvi(source);
  Contents contents;
  std::vector<uint8_t> data;
  for (size_t s = 0; s < file.streams.size(); ++s) {
    const int stream = static_cast<int>(s);
    uint32_t whole = 1;
    for (const auto& entry : file.streams[s].index) {
      if (entry.size == 0) continue;  // FFmpeg passes no empty packet on
      data.resize(entry.size);
      EXPECT_TRUE(source.ReadAt(entry.offset, data.data(), data.size()));
      if (file.streams[s].IsAudio()) {
        whole = test::Adler32(data.data(), data.size(), whole);
      } else {
        contents.video[stream].push_back(
            {stream, entry.size, test::Adler32(data.data(), data.size(), 0)});
      }
    }
    if (file.streams[s].IsAudio()) contents.audio[stream] = whole;
  }
  return contents;
}

void ExpectSamePackets(const std::string& path) {
  const Contents ours = OurContents(path);
  std::map<int, std::vector<Packet>> theirs;
  for (const auto& packet : test::FramePackets(path)) {
    if (ours.audio.count(packet.stream) == 0) theirs[packet.stream].push_back(packet);
  }
  ASSERT_EQ(ours.video.size(), theirs.size());
  for (const auto& [stream, packets] : theirs) {
    const auto& mine = ours.video.at(stream);
    ASSERT_EQ(mine.size(), packets.size()) << "stream " << stream;
    for (size_t i = 0; i < packets.size(); ++i) {
      EXPECT_EQ(mine[i].size, packets[i].size) << "stream " << stream << " packet " << i;
      EXPECT_EQ(mine[i].adler, packets[i].adler) << "stream " << stream << " packet " << i;
    }
  }
  const auto hashes =
      test::Run("ffmpeg -v error -i '" + path + "' -map 0 -c copy -f streamhash -hash adler32 -");
  ASSERT_TRUE(hashes);
  for (const auto& [stream, adler] : ours.audio) {
    char line[48];
    std::snprintf(line, sizeof line, "%d,a,adler32=%08x", stream, adler);
    EXPECT_NE(hashes->find(line), std::string::npos) << line << " not in " << *hashes;
  }
}

std::string Probe(const std::string& path, int stream, const std::string& key) {
  return test::ProbeValue(path, stream, key).value_or("(ffprobe failed)");
}

bool DecodesCleanly(const std::string& path) {
  const auto errors = test::Run("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
  return errors.has_value() && errors->empty();
}

bool LargeTests() {
  const char* large = std::getenv("KSV_LARGE_TESTS");
  return large != nullptr && std::string(large) == "1";
}

enum class Video { kMjpeg, kDib };
enum class Audio { kNone, kPcm, kImaAdpcm };

struct Made {
  int frames = 0;
  int audioChunks = 0;
};

// `frames` frames at 10 a second, with a second of sound in every 10.
Made WriteFile(const std::string& path, Video video, Audio audio, int frames, WriterOptions options,
               uint32_t width = 160, uint32_t height = 120) {
  FileByteSink sink(path);
  Writer writer(sink, options);
  const uint32_t handler = video == Video::kMjpeg ? Fourcc("MJPG") : Fourcc("DIB ");
  writer.AddStream(test::VideoHeader(handler, 10),
                   test::BitmapInfo(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                    video == Video::kMjpeg ? handler : 0));
  std::vector<uint8_t> format;
  if (audio == Audio::kPcm) format = test::PcmFormat(2, 44100);
  if (audio == Audio::kImaAdpcm) format = test::ImaAdpcmFormat(1, 22050);
  if (!format.empty()) writer.AddStream(test::AudioHeader(format), format);
  MainHeader main;
  main.width = width;
  main.height = height;
  EXPECT_TRUE(writer.Begin(main));
  Made made;
  std::vector<uint8_t> picture(size_t{width} * height * 3);
  std::vector<uint8_t> sound;
  for (int n = 0; n < frames; ++n) {
    if (video == Video::kMjpeg) {
      picture = test::JpegFrame(width, height, n);
    } else {
      for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<uint8_t>(i + size_t(n) * 3);
    }
    EXPECT_TRUE(writer.WriteChunk(0, picture.data(), picture.size(), true));
    ++made.frames;
    if (audio == Audio::kPcm) {
      sound.resize(4410 * 4);  // a tenth of a second
      for (size_t i = 0; i < sound.size(); i += 2) {
        const auto sample = static_cast<int16_t>(8000 * std::sin(double(i) * 0.01));
        support::StoreLe16(sound, i, static_cast<uint16_t>(sample));
      }
    } else if (audio == Audio::kImaAdpcm) {
      sound.assign(256 * 4, 0x11);  // blocks: predictor 0, step index 0, then nibbles
      for (size_t block = 0; block < sound.size(); block += 256) std::fill_n(&sound[block], 4, 0);
    }
    if (!sound.empty()) {
      EXPECT_TRUE(writer.WriteChunk(1, sound.data(), sound.size(), true));
      ++made.audioChunks;
    }
  }
  EXPECT_TRUE(writer.Finish());
  return made;
}

struct OracleCase {
  const char* name;
  Video video;
  Audio audio;
  bool legacyIndex;
};

class WriterOracle : public ::testing::TestWithParam<OracleCase> {};

TEST_P(WriterOracle, FfprobeReadsOurFile) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "out.avi";
  WriterOptions options;
  options.legacyIndex = GetParam().legacyIndex;
  const Made made = WriteFile(path, GetParam().video, GetParam().audio, 12, options);
  EXPECT_EQ(Probe(path, 0, "codec_tag_string"),
            GetParam().video == Video::kMjpeg ? "MJPG" : "[0][0][0][0]");
  EXPECT_EQ(Probe(path, 0, "width"), "160");
  EXPECT_EQ(Probe(path, 0, "height"), "120");
  EXPECT_EQ(Probe(path, 0, "nb_read_packets"), std::to_string(made.frames));
  if (GetParam().audio == Audio::kPcm) {
    EXPECT_EQ(Probe(path, 1, "codec_name"), "pcm_s16le");
    EXPECT_EQ(Probe(path, 1, "sample_rate"), "44100");
    EXPECT_EQ(Probe(path, 1, "channels"), "2");
  } else if (GetParam().audio == Audio::kImaAdpcm) {
    EXPECT_EQ(Probe(path, 1, "codec_name"), "adpcm_ima_wav");
    EXPECT_EQ(Probe(path, 1, "sample_rate"), "22050");
    EXPECT_EQ(Probe(path, 1, "channels"), "1");
    EXPECT_EQ(Probe(path, 1, "nb_read_packets"), std::to_string(made.audioChunks * 4));
  }
  EXPECT_TRUE(DecodesCleanly(path));
  ExpectSamePackets(path);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WriterOracle,
    ::testing::Values(OracleCase{"MjpegAndPcm", Video::kMjpeg, Audio::kPcm, true},
                      OracleCase{"MjpegNoIdx1", Video::kMjpeg, Audio::kNone, false},
                      OracleCase{"DibAndImaAdpcm", Video::kDib, Audio::kImaAdpcm, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(WriterOracle, OpenDmlFileOfSeveralParts) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "parts.avi";
  WriterOptions options;
  options.partLimit = 256 * 1024;
  const Made made = WriteFile(path, Video::kDib, Audio::kPcm, 30, options, 96, 64);
  const auto bytes = testing::ReadFile(path);
  EXPECT_GT(bytes.size(), 3 * options.partLimit);
  EXPECT_EQ(Probe(path, 0, "nb_read_packets"), std::to_string(made.frames));
  EXPECT_TRUE(DecodesCleanly(path));
  ExpectSamePackets(path);
}

// More than a gigabyte with the default part limit: an AVIX part follows.
TEST(WriterOracle, LargerThanOneGigabyte) {
  if (!LargeTests()) GTEST_SKIP() << "set KSV_LARGE_TESTS=1";
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "large.avi";
  {
    FileByteSink sink(path);
    Writer writer(sink);
    writer.AddStream(test::VideoHeader(Fourcc("DIB "), 25), test::BitmapInfo(640, 480, 0));
    ASSERT_TRUE(writer.Begin({}));
    std::vector<uint8_t> frame(640 * 480 * 3);
    for (int n = 0; n < 1300; ++n) {
      std::fill(frame.begin(), frame.end(), static_cast<uint8_t>(n));
      ASSERT_TRUE(writer.WriteChunk(0, frame.data(), frame.size(), true));
    }
    ASSERT_TRUE(writer.Finish());
    EXPECT_GT(writer.Size(), uint64_t{1} << 30);
  }
  EXPECT_EQ(Probe(path, 0, "nb_read_packets"), "1300");
  FileByteSource source(path);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kOpenDml);
  EXPECT_EQ(file.streams[0].index.size(), 1300u);
  EXPECT_EQ(file.totalFrames, 1300u);
}

struct FfmpegCase {
  const char* name;
  const char* arguments;
};

class FfmpegAvi : public ::testing::TestWithParam<FfmpegCase> {};

// FFmpeg writes idx1, and reserves room for OpenDML indexes that it fills in
// only past a gigabyte (see FfmpegAvi.OpenDmlFile).
TEST_P(FfmpegAvi, OurIndexPointsAtFfmpegsPackets) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "in.avi";
  ASSERT_TRUE(
      test::Run(std::string("ffmpeg -v error -y ") + GetParam().arguments + " '" + path + "'"));
  {
    FileByteSource source(path);
    const File file = ReadAvi(source);
    EXPECT_EQ(file.indexSource, IndexSource::kLegacy);
    EXPECT_FALSE(file.truncated);
  }
  ExpectSamePackets(path);

  // The same file through the scan.
  auto bytes = testing::ReadFile(path);
  const auto idx1 =
      std::search(bytes.begin(), bytes.end(), std::begin("idx1"), std::end("idx1") - 1);
  ASSERT_NE(idx1, bytes.end());
  std::copy_n("JUNK", 4, idx1);
  testing::WriteFile(path, bytes);
  {
    FileByteSource scanned(path);
    EXPECT_EQ(ReadAvi(scanned).indexSource, IndexSource::kScan);
  }
  ExpectSamePackets(path);
}

TEST(FfmpegAvi, OpenDmlFile) {
  if (!LargeTests()) GTEST_SKIP() << "set KSV_LARGE_TESTS=1";
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "large.avi";
  ASSERT_TRUE(
      test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:d=50 "
                "-f lavfi -i sine=d=50 -c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le '" +
                path + "'"));
  FileByteSource source(path);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kOpenDml);
  EXPECT_EQ(file.streams[0].index.size(), 1250u);
  ExpectSamePackets(path);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FfmpegAvi,
    ::testing::Values(
        FfmpegCase{"MjpegAndPcm",
                   "-f lavfi -i testsrc=size=160x120:rate=10:d=1 -f lavfi -i sine=d=1 "
                   "-c:v mjpeg -c:a pcm_s16le"},
        FfmpegCase{
            "RawVideoAndImaAdpcm",
            "-f lavfi -i testsrc=size=64x48:rate=10:d=1 -f lavfi -i sine=d=1:sample_rate=22050 "
            "-c:v rawvideo -pix_fmt bgr24 -c:a adpcm_ima_wav"},
        FfmpegCase{"Mpeg4WithPFrames",
                   "-f lavfi -i testsrc=size=160x120:rate=10:d=2 -c:v mpeg4 -g 5"}),
    [](const auto& param) { return std::string(param.param.name); });

// Key frames from FFmpeg's index: an MPEG-4 stream with a key frame every 5.
TEST(FfmpegAvi, KeyFramesComeFromTheIndex) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "gop.avi";
  ASSERT_TRUE(
      test::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10:d=2 "
                "-c:v mpeg4 -g 5 -bf 0 '" +
                path + "'"));
  FileByteSource source(path);
  const File file = ReadAvi(source);
  ASSERT_EQ(file.streams[0].index.size(), 20u);
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(file.streams[0].index[i].keyFrame, i % 5 == 0) << i;
}

struct WavCase {
  const char* name;
  const char* codec;
  uint16_t tag;
};

class FfmpegWav : public ::testing::TestWithParam<WavCase> {};

TEST_P(FfmpegWav, DataAndFormatMatchFfmpeg) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  const std::string path = folder / "in.wav";
  ASSERT_TRUE(test::Run(
      std::string("ffmpeg -v error -y -f lavfi -i sine=d=0.7:sample_rate=22050 -ac 2 -c:a ") +
      GetParam().codec + " '" + path + "'"));
  FileByteSource source(path);
  const WavFile wav = ReadWav(source);
  ASSERT_GE(wav.format.size(), 18u);
  EXPECT_EQ(support::LoadLe16(wav.format, 0), GetParam().tag);
  EXPECT_EQ(support::LoadLe16(wav.format, 2), 2);
  EXPECT_EQ(support::LoadLe32(wav.format, 4), 22050u);
  EXPECT_EQ(wav.format.size(), 18u + support::LoadLe16(wav.format, 16));
  EXPECT_FALSE(wav.truncated);
  std::vector<uint8_t> data(wav.dataSize);
  ASSERT_TRUE(source.ReadAt(wav.dataOffset, data.data(), data.size()));
  const auto hash =
      test::Run("ffmpeg -v error -i '" + path + "' -c copy -f streamhash -hash adler32 -");
  ASSERT_TRUE(hash);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%08x", test::Adler32(data.data(), data.size()));
  EXPECT_NE(hash->find(std::string("adler32=") + expected), std::string::npos) << *hash;
}

INSTANTIATE_TEST_SUITE_P(Files, FfmpegWav,
                         ::testing::Values(WavCase{"Pcm", "pcm_s16le", 1},
                                           WavCase{"MuLaw", "pcm_mulaw", 7},
                                           WavCase{"ImaAdpcm", "adpcm_ima_wav", 0x11}),
                         [](const auto& param) { return std::string(param.param.name); });

// Our WAV header in front of sound: FFmpeg reads the format and the length.
TEST(FfmpegWav, FfprobeReadsOurHeader) {
  REQUIRE_FFMPEG();
  testing::TempFolder folder;
  for (const auto& format : {test::PcmFormat(2, 44100), test::ImaAdpcmFormat(1, 22050)}) {
    const bool pcm = format[0] == 1;
    const size_t blocks = 40;
    std::vector<uint8_t> data(pcm ? 44100 * 4 / 2 : blocks * 256, 0);  // half a second of PCM
    const uint32_t samples =
        pcm ? 0 : static_cast<uint32_t>(blocks * support::LoadLe16(format, 18));
    auto file = WavHeader(format, data.size(), samples);
    file.insert(file.end(), data.begin(), data.end());
    const std::string path = folder / (pcm ? "pcm.wav" : "ima.wav");
    testing::WriteFile(path, file);
    EXPECT_EQ(Probe(path, 0, "codec_name"), pcm ? "pcm_s16le" : "adpcm_ima_wav");
    EXPECT_EQ(Probe(path, 0, "sample_rate"), pcm ? "44100" : "22050");
    EXPECT_EQ(Probe(path, 0, "duration_ts"), pcm ? "22050" : std::to_string(samples));
    EXPECT_TRUE(DecodesCleanly(path));
  }
}

}  // namespace
}  // namespace ksv::media::avi
