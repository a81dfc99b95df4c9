// `ksvcam avi-fix`: in place and into a copy, and a failure as one line
// naming the file, the reason and the code, with exit status 1.
#include <gtest/gtest.h>

#include "apps/ksvcam/tests/test_support.h"
#include "avifix/tests/fix_test_support.h"

namespace ksv::ksvcam {
namespace {

using testing::RunKsvcam;

TEST(AviFixCommand, FixesInPlaceOrIntoACopyAndSaysWhyItCannot) {
  testing::TempFolder folder;
  const std::string clip = (folder / "clip.avi").string();
  avifix::testing::ClipSpec spec;
  spec.interleaved = false;
  avifix::testing::WriteClip(clip, spec);
  const auto before = avifix::testing::ReadContents(clip);

  const std::string copy = (folder / "copy.avi").string();
  auto run = RunKsvcam({"avi-fix", clip, "-o", copy});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "wrote '" + copy + "'\n");
  EXPECT_EQ(avifix::testing::CheckPlayable(copy), "");
  EXPECT_NE(avifix::testing::CheckPlayable(clip), "");  // the source stays as it was

  run = RunKsvcam({"avi-fix", clip});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "fixed '" + clip + "' in place\n");
  EXPECT_EQ(run.err, "");  // no progress drawn off a terminal
  EXPECT_EQ(avifix::testing::CheckPlayable(clip), "");
  EXPECT_EQ(avifix::testing::ReadContents(clip).videoChunks, before.videoChunks);

  run = RunKsvcam({"avi-fix", (folder / "missing.avi").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "ksvcam: error: cannot fix '" + (folder / "missing.avi").string() +
                         "': no such file (0x80070057)\n");

  avifix::testing::ClipSpec noFrames;
  noFrames.frames = 0;
  avifix::testing::WriteClip(folder / "empty.avi", noFrames);
  run = RunKsvcam({"avi-fix", (folder / "empty.avi").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("its video stream holds no frames"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("is unchanged (0x800405D2)"), std::string::npos) << run.err;

  EXPECT_EQ(RunKsvcam({"avi-fix"}).status, 2);
}

}  // namespace
}  // namespace ksv::ksvcam
