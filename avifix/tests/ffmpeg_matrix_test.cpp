// AVI files as ffmpeg writes them, across the video and sound codecs a clip
// may hold, with and without an index: the fixed copy has the same video
// packets and the same sound, and passes the playability checks. ffmpeg's
// framemd5 judges the decoded frames where the lead-in was re-encoded.
// Skipped without ffmpeg.
#include <gtest/gtest.h>

#include <filesystem>

#include "avifix/tests/fix_test_support.h"
#include "include/clipmend.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "testing/temp_files.h"

namespace ksv::avifix::testing {
namespace {

namespace test = media::avi::test;

// The clips ffmpeg writes, all in one run: name, then its options.
constexpr std::pair<const char*, const char*> kEncodings[] = {
    {"mjpeg-pcm", "-c:v mjpeg -pix_fmt yuvj420p -c:a pcm_s16le"},
    {"cinepak-ima", "-c:v cinepak -c:a adpcm_ima_wav"},
    {"rgb-alaw", "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_alaw"},
    {"i420-mulaw", "-c:v rawvideo -pix_fmt yuv420p -c:a pcm_mulaw"},
};

struct FfmpegClip {
  const char* name;
  const char* encoding;  // one of kEncodings
  bool keepIndex;        // false: the idx1 made JUNK, so readers scan the data
  bool firstNotKey;      // the first frame's key flag cleared in idx1
};

void PrintTo(const FfmpegClip& clip, std::ostream* out) { *out << clip.name; }

class FfmpegClips : public ::testing::TestWithParam<FfmpegClip> {
 protected:
  static void SetUpTestSuite() {
    if (!HaveFfmpeg()) return;
    folder_ = new ksv::testing::TempFolder;
    std::string command =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:d=0.6 "
        "-f lavfi -i sine=d=0.6:sample_rate=8000";
    for (const auto& [name, options] : kEncodings) {
      command += std::string(" -map 0 -map 1 -ac 1 -fflags +bitexact ") + options + " '" +
                 ((*folder_) / (std::string(name) + ".avi")).string() + "'";
    }
    made_ = test::Run(command).has_value();
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::string Made(const char* encoding) {
    return ((*folder_) / (std::string(encoding) + ".avi")).string();
  }
  static ksv::testing::TempFolder* folder_;
  static bool made_;
};

ksv::testing::TempFolder* FfmpegClips::folder_ = nullptr;
bool FfmpegClips::made_ = false;

// The decoded frames' digests, in order.
std::vector<std::string> DecodedFrames(const std::string& path) {
  const auto listing =
      test::Run("ffmpeg -v error -i '" + path + "' -map 0:v -f framemd5 - 2>/dev/null");
  std::vector<std::string> digests;
  std::istringstream lines(listing.value_or(""));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') digests.push_back(line.substr(line.rfind(',') + 1));
  }
  return digests;
}

TEST_P(FfmpegClips, FixedCopyKeepsPacketsAndSoundAndPlays) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg/ffprobe are not installed";
  const FfmpegClip& clip = GetParam();
  ksv::testing::TempFolder folder;
  const std::string source = (folder / "source.avi").string();
  const std::string fixed = (folder / "fixed.avi").string();
  ASSERT_TRUE(made_) << "ffmpeg could not write the clips";
  {
    std::vector<uint8_t> bytes = FileBytes(Made(clip.encoding));
    const char tag[] = "idx1";
    const auto idx1 = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
    ASSERT_NE(idx1, bytes.end());
    if (!clip.keepIndex) std::copy_n("JUNK", 4, idx1);
    if (clip.firstNotKey) {
      for (auto entry = idx1 + 8; entry + 16 <= bytes.end(); entry += 16) {
        if (entry[2] == 'd') {  // "00dc" / "00db": the first video entry
          entry[4] = uint8_t(entry[4] & ~0x10);
          break;
        }
      }
    }
    ksv::testing::WriteFile(source, bytes);
  }
  const std::vector<uint8_t> sourceBytes = FileBytes(source);
  const Contents before = ReadContents(source);

  ASSERT_EQ(FixAVICopyForMCIControl(source.c_str(), fixed.c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(FileBytes(source), sourceBytes);
  EXPECT_EQ(CheckPlayable(fixed, true), "");
  const Contents after = ReadContents(fixed);
  EXPECT_EQ(after.audioBytes, before.audioBytes);
  EXPECT_EQ(after.audioFormat, before.audioFormat);
  if (!clip.firstNotKey) {
    EXPECT_EQ(after.videoChunks, before.videoChunks);
  } else {
    EXPECT_TRUE(after.file.streams[0].index[0].keyFrame);
    const std::vector<std::string> frames = DecodedFrames(source);
    EXPECT_EQ(frames.size(), 6u);
    EXPECT_EQ(DecodedFrames(fixed), frames);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, FfmpegClips,
    ::testing::Values(
        FfmpegClip{"MjpegPcm", "mjpeg-pcm", true, false},
        FfmpegClip{"MjpegPcmNoIndex", "mjpeg-pcm", false, false},
        FfmpegClip{"CinepakImaAdpcm", "cinepak-ima", true, false},
        FfmpegClip{"CinepakImaAdpcmNoIndex", "cinepak-ima", false, false},
        FfmpegClip{"RgbALaw", "rgb-alaw", true, false},
        FfmpegClip{"RgbALawNoIndex", "rgb-alaw", false, false},
        FfmpegClip{"I420MuLaw", "i420-mulaw", true, false},
        FfmpegClip{"I420MuLawNoIndex", "i420-mulaw", false, false},
        FfmpegClip{"TopDownRgbLeadInReencoded", "rgb-alaw", true, true}),
    [](const ::testing::TestParamInfo<FfmpegClip>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ksv::avifix::testing
