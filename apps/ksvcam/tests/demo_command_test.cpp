#include "apps/ksvcam/commands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <sstream>

#include "apps/ksvcam/tests/test_support.h"
#include "support/picture/jpeg_file.h"
#include "support/picture/png_file.h"
#include "support/picture/tests/test_pictures.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::ReadBytes;
using testing::RunKsvcam;
using testing::TempFolder;
using testing::WriteBytes;

size_t CountLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

class DemoCommand : public ::testing::Test {
 protected:
  DemoCommand() {
    // The camera's clips are converted through the build's plug-ins.
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
    fs::create_directory(photos_);
    WriteBytes(photos_ / "ramp.png", picture::EncodePng(picture::testing::SmoothPicture(96, 64)));
    WriteBytes(photos_ / "notes.txt", {'x'});  // not a photograph
  }

  CommandRun Demo(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"demo", "--photos", photos_.string(), "--out", out_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  TempFolder folder_;
  fs::path photos_ = folder_ / "photos";
  fs::path out_ = folder_ / "out";
};

TEST_F(DemoCommand, WritesEveryLevelAtBothSizes) {
  const CommandRun run = Demo();
  ASSERT_EQ(run.status, 0) << run.err;
  // The photograph folder's other file, and what the camera's download
  // stream does not convert.
  EXPECT_EQ(run.err, "ksvcam: skipped '" + (photos_ / "notes.txt").string() +
                         "': not a picture\n"
                         "ksvcam: skipped item 8, a clip without sound (6 frames), is not part of "
                         "the streamed download; --per-item converts it\n"
                         "ksvcam: skipped item 9, a raw recording, is not part of the streamed "
                         "download; --per-item converts it\n");
  for (const char* size : {"320x240", "160x128"}) {
    for (int level = 0; level < 4; ++level) {
      const std::string base = std::string("ramp_") + size + "_L" + std::to_string(level);
      const std::vector<uint8_t> frame = ReadBytes(out_ / (base + ".frame"));
      ASSERT_GT(frame.size(), 15u);
      EXPECT_EQ(frame[7], level) << base;
      for (const char* picture : {".bgr24.png", ".i420.png"}) {
        const auto decoded = testing::DecodePngFile(ReadBytes(out_ / (base + picture)));
        EXPECT_EQ(std::to_string(decoded.width) + "x" + std::to_string(decoded.height), size);
      }
    }
  }
  // 24 files of the photograph, and the camera's memory in its own folder.
  EXPECT_EQ(std::count_if(fs::directory_iterator(out_), fs::directory_iterator(),
                          [](const fs::directory_entry& entry) {
                            return entry.path().filename().string().starts_with("ramp_");
                          }),
            24);
  EXPECT_TRUE(fs::exists(out_ / "camera" / "HQ0.JPG"));
  EXPECT_TRUE(fs::exists(out_ / "camera" / "Burst4.JPG"));
  // The capture's button snapshot, converted by the snapshot library.
  const auto snapshot = testing::DecodePngFile(ReadBytes(out_ / "snapshot.png"));
  EXPECT_EQ(snapshot.width, 320u);
  EXPECT_EQ(snapshot.height, 240u);
}

TEST_F(DemoCommand, PrintsALinePerFrameAndASummary) {
  const CommandRun run = Demo();
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_GE(CountLines(run.out), 10u) << run.out;
  std::istringstream lines(run.out);
  std::string line;
  for (int i = 0; i < 8; ++i) {
    std::getline(lines, line);
    char size[16] = {};
    int level = -1;
    size_t frameBytes = 0;
    double rgbPsnr = 0;
    double planarPsnr = 0;
    ASSERT_EQ(std::sscanf(line.c_str(),
                          "ramp %15s L%d: frame %zu bytes, PSNR 24-bit %lf dB, planar %lf dB", size,
                          &level, &frameBytes, &rgbPsnr, &planarPsnr),
              5)
        << line;
    EXPECT_EQ(std::string(size), i < 4 ? "320x240" : "160x128") << line;
    EXPECT_EQ(level, i % 4) << line;
    EXPECT_GT(frameBytes, 15u) << line;
    EXPECT_GT(rgbPsnr, 25.0) << line;  // a smooth ramp survives every level
    EXPECT_GT(planarPsnr, 25.0) << line;
  }
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("demo: 8 frames from 1 photo in", 0), 0u) << line;
  // The camera's memory follows, summed up in one line: ten pictures, a
  // clip of each size with sound, and each clip's first frame.
  EXPECT_NE(run.out.find("\ndownload: 14 files,"), std::string::npos) << run.out;
  for (const char* file : {"Clip0.AVI", "Clip1.AVI", "Clip0.png", "Clip1.png"}) {
    EXPECT_TRUE(fs::exists(out_ / "camera" / file)) << file;
  }
}

TEST_F(DemoCommand, KeepsAnEarlierRunUnlessAskedToOverwrite) {
  ASSERT_EQ(Demo().status, 0);
  const fs::path earlier = out_ / "ramp_320x240_L0.frame";
  WriteBytes(earlier, {'k', 'e', 'e', 'p'});

  const CommandRun refused = Demo();
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(CountLines(refused.err), 1u) << refused.err;
  EXPECT_NE(refused.err.find("-y"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(ReadBytes(earlier), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));

  const CommandRun replaced = Demo({"-y"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_GT(ReadBytes(earlier).size(), 15u);
}

TEST_F(DemoCommand, OtherFilesInTheFolderDoNotStopIt) {
  fs::create_directory(out_);
  WriteBytes(out_ / "mine.txt", {'m'});
  EXPECT_EQ(Demo().status, 0);
  EXPECT_EQ(ReadBytes(out_ / "mine.txt"), std::vector<uint8_t>{'m'});
}

TEST_F(DemoCommand, FailsWithoutPhotographs) {
  fs::remove(photos_ / "ramp.png");
  const CommandRun run = Demo();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no PNG or JPEG photographs"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("notes.txt': not a picture"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out_));
}

TEST_F(DemoCommand, SkipsAnUnreadablePhotoSayingWhyAndPhotographsTheRest) {
  WriteBytes(photos_ / "broken.png", {'n', 'o', 't'});
  WriteBytes(photos_ / "SCENE.JPG", picture::EncodeJpeg(picture::testing::SmoothPicture(80, 60)));
  const CommandRun run = Demo();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("skipped '" + (photos_ / "broken.png").string() + "': unreadable: "),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::exists(out_ / "ramp_160x128_L3.i420.png"));
  EXPECT_TRUE(fs::exists(out_ / "SCENE_320x240_L0.bgr24.png"));
  EXPECT_FALSE(fs::exists(out_ / "broken_320x240_L0.frame"));
  EXPECT_NE(run.out.find("16 frames from 2 photos"), std::string::npos) << run.out;
}

TEST(DemoPhotos, DefaultFolderFollowsTheTestDataVariable) {
  const char* saved = std::getenv("KSV_TESTDATA_DIR");
  const std::string previous = saved ? saved : "";
  ::setenv("KSV_TESTDATA_DIR", "/some/data", 1);
  EXPECT_EQ(DefaultPhotosDir(), "/some/data/photos");
  ::unsetenv("KSV_TESTDATA_DIR");
  EXPECT_TRUE(fs::is_directory(DefaultPhotosDir())) << DefaultPhotosDir();
  if (saved) ::setenv("KSV_TESTDATA_DIR", previous.c_str(), 1);
}

}  // namespace
}  // namespace ksv::ksvcam
