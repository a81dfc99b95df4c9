// `ksvcam decode` end to end: frames made by the simulated camera's encoder
// and the shared test frames, decoded through the command line into files.
#include <gtest/gtest.h>

#include <cstdio>

#include "apps/ksvcam/tests/test_support.h"
#include "codec/quant_tables.h"
#include "simcam/frame_encoder.h"
#include "support/byte_order.h"
#include "support/picture/colour.h"
#include "support/picture/psnr.h"
#include "support/picture/tests/test_pictures.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::ReadBytes;
using testing::RunKsvcam;
using testing::TempFolder;
using testing::WriteBytes;

constexpr double kMinPsnr = 30.0;  // a smooth picture at level 1 decodes far better

class DecodeCommand : public ::testing::Test {
 protected:
  DecodeCommand()
      : scene_(picture::testing::SmoothPicture(320, 240)),
        planarScene_(picture::RgbToPlanar(scene_)),
        frame_(folder_ / "scene.frame") {
    WriteBytes(frame_, simcam::EncodeFrame(planarScene_, 1));
  }

  CommandRun Decode(const std::string& output, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {
        "decode", frame_.string(), "--size", "320x240", "-o", (folder_ / output).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  void ExpectDecoded(const CommandRun& run) {
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
  }

  TempFolder folder_;
  picture::RgbPicture scene_;
  picture::PlanarPicture planarScene_;
  fs::path frame_;
};

TEST_F(DecodeCommand, WritesPlanarFileForI420Output) {
  ExpectDecoded(Decode("out.i420"));
  const std::vector<uint8_t> planar = ReadBytes(folder_ / "out.i420");
  ASSERT_EQ(planar.size(), 320u * 240 * 3 / 2);
  EXPECT_GT(picture::Psnr(planarScene_.samples, planar), kMinPsnr);
}

TEST_F(DecodeCommand, WritesBmpTheRightWayUp) {
  ExpectDecoded(Decode("out.bmp"));
  const std::vector<uint8_t> file = ReadBytes(folder_ / "out.bmp");
  ASSERT_EQ(file.size(), 54u + 320 * 240 * 3);
  const picture::RgbPicture picture = testing::DecodeBmpFile(file);
  EXPECT_EQ(picture.width, 320u);
  EXPECT_EQ(picture.height, 240u);
  EXPECT_GT(picture::Psnr(scene_.pixels, picture.pixels), kMinPsnr);
}

TEST_F(DecodeCommand, Rgb24AndBgr24GiveTheSameFile) {
  ExpectDecoded(Decode("bgr.bmp", {"--format", "bgr24"}));
  ExpectDecoded(Decode("rgb.bmp", {"--format", "rgb24"}));
  EXPECT_EQ(ReadBytes(folder_ / "rgb.bmp"), ReadBytes(folder_ / "bgr.bmp"));
}

TEST_F(DecodeCommand, PlanarDecodeConvertsToTheSamePictureAsThe24BitOne) {
  ExpectDecoded(Decode("direct.bmp"));
  ExpectDecoded(Decode("planar.bmp", {"--format", "i420"}));
  const auto direct = testing::DecodeBmpFile(ReadBytes(folder_ / "direct.bmp"));
  const auto planar = testing::DecodeBmpFile(ReadBytes(folder_ / "planar.bmp"));
  ASSERT_EQ(direct.pixels.size(), planar.pixels.size());
  // The decoder's direct colour conversion rounds its constants slightly
  // differently; nothing else may differ.
  for (size_t i = 0; i < direct.pixels.size(); ++i) {
    ASSERT_LE(std::abs(direct.pixels[i] - planar.pixels[i]), 2) << "byte " << i;
  }
}

TEST_F(DecodeCommand, PngHoldsTheSamePixelsAsBmp) {
  ExpectDecoded(Decode("out.bmp"));
  ExpectDecoded(Decode("out.png"));
  EXPECT_EQ(testing::DecodePngFile(ReadBytes(folder_ / "out.png")).pixels,
            testing::DecodeBmpFile(ReadBytes(folder_ / "out.bmp")).pixels);
}

TEST_F(DecodeCommand, GammaBrightensLumaOnly) {
  ExpectDecoded(Decode("plain.yuv"));
  ExpectDecoded(Decode("gamma.yuv", {"--gamma", "5"}));
  const auto plain = ReadBytes(folder_ / "plain.yuv");
  const auto bright = ReadBytes(folder_ / "gamma.yuv");
  ASSERT_EQ(plain.size(), bright.size());
  const size_t lumaBytes = 320 * 240;
  size_t brighter = 0;
  for (size_t i = 0; i < lumaBytes; ++i) {
    ASSERT_GE(bright[i], plain[i]) << "luma " << i;
    brighter += bright[i] > plain[i];
  }
  EXPECT_GT(brighter, lumaBytes / 2);
  EXPECT_TRUE(std::equal(plain.begin() + lumaBytes, plain.end(), bright.begin() + lumaBytes));
}

TEST_F(DecodeCommand, ReplacesAnExistingOutputFile) {
  WriteBytes(folder_ / "out.bmp", {'o', 'l', 'd'});
  ExpectDecoded(Decode("out.bmp"));
  EXPECT_EQ(ReadBytes(folder_ / "out.bmp").size(), 54u + 320 * 240 * 3);
}

TEST_F(DecodeCommand, RepeatReportsTheSpeed) {
  const CommandRun run = Decode("out.i420", {"--repeat", "3"});
  ExpectDecoded(run);
  unsigned frames = 0;
  double milliseconds = -1;
  double perSecond = -1;
  char end = 0;
  ASSERT_EQ(std::sscanf(run.out.c_str(), "decoded %u frames in %lf ms: %lf frames/s%c", &frames,
                        &milliseconds, &perSecond, &end),
            4)
      << run.out;
  EXPECT_EQ(frames, 3u);
  EXPECT_EQ(end, '\n');
  EXPECT_GE(milliseconds, 0.0);
  EXPECT_GT(perSecond, 0.0);
  EXPECT_EQ(Decode("quiet.i420").out, "");
}

TEST_F(DecodeCommand, CorruptOrTruncatedFrameFailsWithoutWritingTheOutput) {
  std::vector<uint8_t> frame = ReadBytes(frame_);
  std::vector<uint8_t> badLevel = frame;
  badLevel[7] = 7;
  // Half the entropy data, with the header's length saying so.
  const uint32_t half = static_cast<uint32_t>(frame.size() - 15) / 2;
  std::vector<uint8_t> truncated(frame.begin(), frame.begin() + 15 + half);
  support::StoreLe32(truncated, 11, half);
  std::vector<uint8_t> corrupt = frame;
  std::fill(corrupt.begin() + 15 + 20, corrupt.begin() + 15 + 40, 0xFF);  // no code is all ones
  const std::vector<uint8_t> headerOnly(frame.begin(), frame.begin() + 10);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  for (const auto& [name, bytes, reason] :
       {Case{"level.frame", badLevel, "compression level is not 0 to 3"},
        Case{"short.frame", truncated, "data ends before the picture is complete"},
        Case{"corrupt.frame", corrupt, "entropy-coded data is corrupt"},
        Case{"tiny.frame", headerOnly, "shorter than the 15-byte header"}}) {
    frame_ = folder_ / name;
    WriteBytes(frame_, bytes);
    const CommandRun run = Decode("out.bmp");
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "out.bmp")) << name;
  }
}

TEST_F(DecodeCommand, DecodesAStoredFrameWithItsTable) {
  const codec::QuantPair tables = codec::ScaledAnnexKPair(50);
  WriteBytes(frame_, simcam::EncodeStoredFrame(planarScene_, tables));
  std::vector<uint8_t> table(128);
  std::copy(tables.luminance.begin(), tables.luminance.end(), table.begin());
  std::copy(tables.chrominance.begin(), tables.chrominance.end(), table.begin() + 64);
  WriteBytes(folder_ / "scene.qtab", table);

  ExpectDecoded(Decode("stored.bmp", {"--stored", "--qtable", (folder_ / "scene.qtab").string()}));
  const auto picture = testing::DecodeBmpFile(ReadBytes(folder_ / "stored.bmp"));
  EXPECT_GT(picture::Psnr(scene_.pixels, picture.pixels), kMinPsnr);

  table.pop_back();
  WriteBytes(folder_ / "short.qtab", table);
  const CommandRun run =
      Decode("bad.bmp", {"--stored", "--qtable", (folder_ / "short.qtab").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("128"), std::string::npos) << run.err;
}

// The shared reference frames.
class DecodeTestFrames : public ::testing::Test {
 protected:
  CommandRun Decode(const std::string& frame, const std::string& size, const std::string& output,
                    std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"decode", (frames_ / frame).string(), "--size", size,
                                     "-o",     (folder_ / output).string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  TempFolder folder_;
  fs::path frames_ = testing::TestDataDir() / "frames";
};

TEST_F(DecodeTestFrames, FlatFrameIsMidGreyEverywhere) {
  ASSERT_EQ(Decode("flat_320x240_L2.frame", "320x240", "flat.bmp").status, 0);
  const auto picture = testing::DecodeBmpFile(ReadBytes(folder_ / "flat.bmp"));
  EXPECT_EQ(picture.pixels, std::vector<uint8_t>(320 * 240 * 3, 128));
  ASSERT_EQ(Decode("flat_160x128_L0.frame", "160x128", "flat.i420").status, 0);
  EXPECT_EQ(ReadBytes(folder_ / "flat.i420"), std::vector<uint8_t>(160 * 128 * 3 / 2, 128));
}

TEST_F(DecodeTestFrames, BmpMatchesTheReferenceBitmap) {
  const CommandRun run = Decode("astronaut_320x240_L3.frame", "320x240", "a.bmp");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto ours = ReadBytes(folder_ / "a.bmp");
  const auto reference = ReadBytes(frames_ / "astronaut_320x240_L3.ref.bmp");
  ASSERT_EQ(ours.size(), reference.size());
  EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + 54, reference.begin()));
  // The reference decoder's transform differs a little; a flipped or
  // channel-swapped picture would be far below this.
  EXPECT_GT(picture::Psnr(testing::DecodeBmpFile(reference), testing::DecodeBmpFile(ours)), 35.0);
}

TEST_F(DecodeTestFrames, StoredFrameMatchesTheReference) {
  const CommandRun run =
      Decode("chelsea_160x128_Q50.frame", "160x128", "c.png",
             {"--stored", "--qtable", (frames_ / "chelsea_160x128_Q50.qtab").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto reference =
      picture::PlanarToRgb(ReadBytes(frames_ / "chelsea_160x128_Q50.ref.i420"), 160, 128);
  EXPECT_GT(picture::Psnr(reference, testing::DecodePngFile(ReadBytes(folder_ / "c.png"))), 35.0);
}

}  // namespace
}  // namespace ksv::ksvcam
