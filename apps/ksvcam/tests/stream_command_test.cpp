// `ksvcam simulate-packets` and `ksvcam stream` run in-process: captures
// made by the simulated camera, replayed through the class driver stand-in
// and the driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/frame_sinks.h"
#include "apps/ksvcam/tests/test_support.h"
#include "codec/decoder.h"
#include "simcam/frame_encoder.h"
#include "simcam/test_pattern.h"
#include "support/picture/colour.h"
#include "support/picture/jpeg_file.h"
#include "support/picture/tests/test_pictures.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::ReadBytes;
using testing::RunKsvcam;
using testing::TempFolder;

struct StreamSummary {
  unsigned seen = 0;
  unsigned delivered = 0;
  unsigned damaged = 0;
  unsigned notDecodable = 0;
  unsigned dropped = 0;
};

StreamSummary ParseSummary(const std::string& out) {
  StreamSummary s;
  const int fields = std::sscanf(out.c_str(),
                                 "stream: %u frames seen, %u delivered (%u damaged, %u not "
                                 "decodable), %u dropped by pacing",
                                 &s.seen, &s.delivered, &s.damaged, &s.notDecodable, &s.dropped);
  EXPECT_EQ(fields, 5) << out;
  return s;
}

// The planar frames of a .y4m file, after checking its header.
std::vector<std::vector<uint8_t>> ReadY4m(const fs::path& path, const std::string& header,
                                          size_t frameBytes) {
  const std::vector<uint8_t> file = ReadBytes(path);
  EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<ptrdiff_t>(header.size())),
            header);
  std::vector<std::vector<uint8_t>> frames;
  size_t at = header.size();
  while (at < file.size()) {
    EXPECT_EQ(std::string(file.begin() + static_cast<ptrdiff_t>(at),
                          file.begin() + static_cast<ptrdiff_t>(at + 6)),
              "FRAME\n");
    at += 6;
    if (at + frameBytes > file.size()) {
      ADD_FAILURE() << "last frame cut short";
      break;
    }
    frames.emplace_back(file.begin() + static_cast<ptrdiff_t>(at),
                        file.begin() + static_cast<ptrdiff_t>(at + frameBytes));
    at += frameBytes;
  }
  return frames;
}

class StreamCommand : public ::testing::Test {
 protected:
  CommandRun Simulate(std::vector<std::string> extra) {
    std::vector<std::string> args = {"simulate-packets", "-o", capture_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  CommandRun Stream(std::vector<std::string> extra) {
    std::vector<std::string> args = {"stream", "--packets", capture_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  TempFolder folder_;
  fs::path capture_ = folder_ / "camera.iso";
};

TEST_F(StreamCommand, SimulatedPicturesMayBeJpegAndFilesThatAreNoneAreNamed) {
  const fs::path photo = folder_ / "scene.jpeg";
  testing::WriteBytes(photo, picture::EncodeJpeg(picture::testing::SmoothPicture(200, 150)));
  const fs::path notes = folder_ / "notes.txt";
  testing::WriteBytes(notes, {'h', 'i'});
  const CommandRun run = Simulate({"--frames", "2", photo.string(), notes.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "ksvcam: skipped '" + notes.string() + "': not a picture\n");
  EXPECT_TRUE(fs::exists(capture_));

  const CommandRun none = Simulate({"--frames", "2", notes.string()});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("none of the pictures could be read"), std::string::npos) << none.err;
}

TEST_F(StreamCommand, ACleanCaptureStreamsEveryFrameOfThePatternIntoY4m) {
  const CommandRun simulated = Simulate({"--frames", "8"});
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  EXPECT_NE(simulated.out.find("8 frames 320x240 level 3"), std::string::npos) << simulated.out;

  const fs::path video = folder_ / "video.y4m";
  const CommandRun run = Stream({"-o", video.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const StreamSummary summary = ParseSummary(run.out);
  EXPECT_EQ(summary.seen, 9u);
  EXPECT_EQ(summary.delivered, 8u);
  EXPECT_EQ(summary.damaged, 0u);
  EXPECT_EQ(summary.dropped, 0u);

  const auto frames = ReadY4m(video, "YUV4MPEG2 W320 H240 F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n", 115200);
  ASSERT_EQ(frames.size(), 8u);
  codec::DecoderTables decoder;
  ASSERT_TRUE(decoder.SetUp());
  for (uint32_t i = 0; i < 8; ++i) {
    const auto frame =
        simcam::EncodeFrame(picture::RgbToPlanar(simcam::TestPattern(320, 240, i)), 3);
    std::vector<uint8_t> expected(115200);
    uint32_t written = 0;
    ASSERT_TRUE(decoder.DecodeFrame({}, frame, expected, written, {320, 240}, {320, 240},
                                    codec::kCompressionI420));
    EXPECT_EQ(frames[i], expected) << "frame " << i;
  }
}

TEST_F(StreamCommand, FaultsComeOutAsDamagedFramesAndTheSameSeedGivesTheSameCapture) {
  ASSERT_EQ(Simulate({"--frames", "20", "--loss", "0.03", "--reorder", "0.02", "--seed", "7"})
                .status,
            0);
  const std::vector<uint8_t> first = ReadBytes(capture_);
  ASSERT_EQ(Simulate({"--frames", "20", "--loss", "0.03", "--reorder", "0.02", "--seed", "7"})
                .status,
            0);
  EXPECT_EQ(ReadBytes(capture_), first);

  const fs::path video = folder_ / "video.y4m";
  const CommandRun run = Stream({"-o", video.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const StreamSummary summary = ParseSummary(run.out);
  EXPECT_GT(summary.damaged, 0u);
  EXPECT_LE(summary.delivered, 20u);
  EXPECT_EQ(ReadY4m(video, "YUV4MPEG2 W320 H240 F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n", 115200).size(),
            summary.delivered);
}

TEST_F(StreamCommand, PacingAtHalfTheCameraRateDropsEveryOtherFrame) {
  ASSERT_EQ(Simulate({"--frames", "10", "--fps", "25"}).status, 0);
  const CommandRun run = Stream({"--interval", "800000"});
  ASSERT_EQ(run.status, 0) << run.err;
  const StreamSummary summary = ParseSummary(run.out);
  EXPECT_EQ(summary.delivered, 5u);
  EXPECT_EQ(summary.dropped, 5u);
  EXPECT_EQ(Stream({"--interval", "0"}).out.find("0 dropped by pacing") != std::string::npos,
            true);
}

// What a player shows of the y4m stream is what the BMP of the same frame
// holds: the header says the samples are full range, so ffmpeg does not
// stretch them (28 dB against the BMP untagged).
TEST_F(StreamCommand, PlayersReadTheY4mAsTheBmpOfTheSameFrame) {
  if (!testing::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  const fs::path photo = testing::TestDataDir() / "photos" / "astronaut.png";
  ASSERT_EQ(Simulate({"--frames", "1", photo.string()}).status, 0);
  const fs::path video = folder_ / "video.y4m";
  const fs::path pictures = folder_ / "pictures";
  ASSERT_EQ(Stream({"-o", video.string()}).status, 0);
  ASSERT_EQ(Stream({"--format", "bgr24", "--out", pictures.string()}).status, 0);
  const auto rgb = [](const fs::path& file) {
    return testing::ShellOutput("ffmpeg -v error -i '" + file.string() +
                                "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  };
  const std::string fromY4m = rgb(video);
  const std::string fromBmp = rgb(pictures / "frame_000001.bmp");
  ASSERT_EQ(fromY4m.size(), 320u * 240 * 3);
  ASSERT_EQ(fromBmp.size(), fromY4m.size());
  double squares = 0;
  for (size_t i = 0; i < fromY4m.size(); ++i) {
    const double difference = static_cast<uint8_t>(fromY4m[i]) - static_cast<uint8_t>(fromBmp[i]);
    squares += difference * difference;
  }
  const double psnr = 10 * std::log10(255.0 * 255.0 * static_cast<double>(fromY4m.size()) /
                                      std::max(squares, 1.0));
  EXPECT_GE(psnr, 45.0);
}

TEST_F(StreamCommand, WritesAFilePerFrameAndKeepsThemWithoutOverwrite) {
  ASSERT_EQ(Simulate({"--frames", "3", "--size", "160x120", "--button", "2"}).status, 0);
  const fs::path out = folder_ / "frames";
  CommandRun run = Stream({"--size", "160x120", "--format", "bgr24", "--out", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("camera status changed 2 times"), std::string::npos) << run.out;
  for (const char* name : {"frame_000001.bmp", "frame_000002.bmp", "frame_000003.bmp"}) {
    const picture::RgbPicture picture = testing::DecodeBmpFile(ReadBytes(out / name));
    EXPECT_EQ(picture.width, 160u);
    EXPECT_EQ(picture.height, 120u);
  }
  run = Stream({"--size", "160x120", "--format", "bgr24", "--out", out.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("frame_0000"), std::string::npos) << run.err;
  EXPECT_EQ(Stream({"--size", "160x120", "--format", "bgr24", "--out", out.string(), "-y"}).status,
            0);

  run = Stream({"--size", "160x120", "--format", "kxjs", "--out", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> passThrough = ReadBytes(out / "frame_000001.kxjs");
  ASSERT_GT(passThrough.size(), 172u);
  EXPECT_EQ(std::string(passThrough.begin(), passThrough.begin() + 4), "KXJS");
}

TEST_F(StreamCommand, RefusesRequestsThatCannotWork) {
  ASSERT_EQ(Simulate({"--frames", "1"}).status, 0);
  const std::string video = (folder_ / "v.y4m").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-o", (folder_ / "v.bmp").string()},
        {"-o", video, "--format", "bgr24"},
        {"--size", "640x480"},
        {"--format", "rgb32"},
        {"--interval", "-1"},
        {"-o", video, "--out", folder_.path().string()}}) {
    const CommandRun run = Stream(args);
    EXPECT_EQ(run.status, 2) << args[0] << " " << args[1];
    EXPECT_NE(run.err.find("ksvcam: error:"), std::string::npos);
  }
  EXPECT_EQ(Simulate({"--packet-size", "64"}).status, 2);
  EXPECT_EQ(Simulate({"--loss", "1.5"}).status, 2);
  EXPECT_EQ(Simulate({"--button", "5", "--frames", "3"}).status, 2);
}

TEST_F(StreamCommand, ADamagedCaptureFailsAndLeavesNoVideoBehind) {
  ASSERT_EQ(Simulate({"--frames", "4"}).status, 0);
  std::vector<uint8_t> bytes = ReadBytes(capture_);
  bytes.resize(bytes.size() - 100);  // the last record cut off
  testing::WriteBytes(capture_, bytes);
  const fs::path video = folder_ / "video.y4m";
  const CommandRun run = Stream({"-o", video.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cut off"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(video));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 1)
      << "no temporary file either";

  testing::WriteBytes(capture_, {'n', 'o', 'p', 'e'});
  EXPECT_EQ(Stream({}).status, 1);
}

}  // namespace
}  // namespace ksv::ksvcam
