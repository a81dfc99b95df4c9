// `ksvcam avi-info` on a small clip FFmpeg writes, and on files it cannot
// read.
#include <gtest/gtest.h>

#include <cstdlib>

#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam {
namespace {

using testing::CommandRun;
using testing::RunKsvcam;

TEST(AviInfoCommand, DescribesEachStreamAndNamesWhyAFileCannotBeRead) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  testing::TempFolder folder;
  const std::string clip = (folder / "clip.avi").string();
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=15:duration=1 "
                         "-f lavfi -i sine=sample_rate=8000:duration=1 -c:v mjpeg -c:a pcm_s16le '" +
                         clip + "'")
                            .c_str()),
            0);
  const CommandRun run = RunKsvcam({"avi-info", clip});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line :
       {": 2 streams, 64 x 48, 15 frames at 15/1 (15.000 per second)\n",
        "stream 0: 'vids', handler 'MJPG'\n", "  start: 0, length: 15 (1000 ms)\n",
        "  key frames: 15 (first at 0)\n", "  format: 40 bytes: bitmap 64 x 48, 24 bits, "
        "compression 'MJPG'\n",
        "stream 1: 'auds', handler 0x00000001\n", "  rate/scale: 8000/1 (8000.000 per second)\n",
        "  start: 0, length: 8000 (1000 ms)\n", "  key frames: every sample\n",
        "wave tag 0x0001, 1 channel, 8000 Hz, 16000 bytes/s, block 2, 16 bits\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << "missing: " << line << "\n" << run.out;
  }

  const CommandRun missing = RunKsvcam({"avi-info", (folder / "none.avi").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("AVIERR_FILEOPEN (0x8004406F)"), std::string::npos) << missing.err;
  testing::WriteBytes(folder / "text.avi", {'h', 'e', 'l', 'l', 'o'});
  const CommandRun text = RunKsvcam({"avi-info", (folder / "text.avi").string()});
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.err.find("AVIERR_BADFORMAT"), std::string::npos) << text.err;
}

}  // namespace
}  // namespace ksv::ksvcam
