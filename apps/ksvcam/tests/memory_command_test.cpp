#include "apps/ksvcam/commands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "apps/ksvcam/tests/test_support.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/wav_audio.h"
#include "support/picture/jpeg_file.h"
#include "support/picture/png_file.h"
#include "support/picture/tests/test_pictures.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::RunKsvcam;
using testing::WriteBytes;

class MemoryCommand : public ::testing::Test {
 protected:
  MemoryCommand() {
    ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1);
    ::unsetenv("KSV_CAMERA_MEMORY");
    fs::create_directory(frames_);
    for (int i = 0; i < 3; ++i) {
      WriteBytes(frames_ / ("frame" + std::to_string(i) + ".png"),
                 picture::EncodePng(picture::testing::SmoothPicture(64 + 16 * i, 48)));
    }
    WriteBytes(sound_, simcam::WriteWav8({8000, std::vector<int16_t>(4000, 2000)}));
  }

  CommandRun Build(std::vector<std::string> extra) {
    std::vector<std::string> args = {"memory", "build", "-o", image_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  testing::TempFolder folder_;
  const fs::path frames_ = folder_ / "frames";
  const fs::path sound_ = folder_ / "sound.wav";
  const fs::path image_ = folder_ / "camera.mem";
  const std::string photos_ = (testing::TestDataDir() / "photos").string();
};

TEST_F(MemoryCommand, BuildsAnImageOfPhotosAndAClipWithSound) {
  const CommandRun run =
      Build({"--photos", photos_, "--clip", frames_.string(), "--audio", sound_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  // The test data's notes are named as passed over.
  EXPECT_EQ(run.err, "ksvcam: skipped '" + photos_ + "/README.md': not a picture\n");
  EXPECT_EQ(run.out.rfind("memory: 5 items, ", 0), 0u) << run.out;
  const outside::bulk::CameraMemory memory = outside::bulk::LoadMemoryImage(image_);
  ASSERT_EQ(memory.items.size(), 5u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(memory.items[i].tag(), outside::bulk::ItemTag::kPicture);
    EXPECT_EQ(memory.items[i].header.width, 640);
  }
  const outside::bulk::StoredItem& clip = memory.items[4];
  EXPECT_EQ(clip.tag(), outside::bulk::ItemTag::kClip);
  EXPECT_EQ(clip.header.chunkCount, 3);
  EXPECT_EQ(clip.header.audioRate, 8000u);
  EXPECT_EQ(clip.header.width, 320);
}

TEST_F(MemoryCommand, StoresEveryPngAndJpegOfAMixedFolderAndNamesTheRest) {
  const fs::path mixed = folder_ / "mixed";
  fs::create_directory(mixed);
  WriteBytes(mixed / "a.png", picture::EncodePng(picture::testing::SmoothPicture(64, 48)));
  WriteBytes(mixed / "b.JPG", picture::EncodeJpeg(picture::testing::SmoothPicture(800, 600)));
  WriteBytes(mixed / "c.jpeg", picture::EncodeJpeg(picture::testing::PatternPicture(40, 30)));
  const std::vector<uint8_t> png = picture::EncodePng(picture::testing::PatternPicture(50, 50));
  WriteBytes(mixed / "d.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
  WriteBytes(mixed / "notes.txt", {'h', 'i'});

  const CommandRun run = Build({"--photos", mixed.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("memory: 3 items, ", 0), 0u) << run.out;
  EXPECT_EQ(outside::bulk::LoadMemoryImage(image_).items.size(), 3u);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
  EXPECT_NE(run.err.find("skipped '" + (mixed / "notes.txt").string() + "': not a picture\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("skipped '" + (mixed / "d.png").string() + "': unreadable: damaged PNG"),
            std::string::npos)
      << run.err;
}

TEST_F(MemoryCommand, BuildsEveryOtherKindOfItem) {
  const fs::path raw = folder_ / "memo.bin";
  WriteBytes(raw, {1, 2, 3});
  fs::create_directory(folder_ / "five");
  for (int i = 0; i < 6; ++i) {
    WriteBytes(folder_ / "five" / (std::to_string(i) + ".png"),
               picture::EncodePng(picture::testing::SmoothPicture(32, 32)));
  }
  const CommandRun run =
      Build({"--low-photos", frames_.string(), "--burst", (folder_ / "five").string(), "--clip",
             frames_.string(), "--clip-size", "160x112", "--raw", raw.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const outside::bulk::CameraMemory memory = outside::bulk::LoadMemoryImage(image_);
  ASSERT_EQ(memory.items.size(), 6u);
  EXPECT_EQ(memory.items[0].header.subtype, outside::bulk::kLowQualitySubtype);
  EXPECT_EQ(memory.items[3].tag(), outside::bulk::ItemTag::kBurst);
  EXPECT_EQ(memory.items[4].tag(), outside::bulk::ItemTag::kVideoClip);
  EXPECT_EQ(memory.items[4].header.height, 112);
  EXPECT_EQ(memory.items[5].tag(), outside::bulk::ItemTag::kRecording);
}

TEST_F(MemoryCommand, InfoListsTheItemsAndTheCountsPerType) {
  ASSERT_EQ(Build({"--clip", frames_.string(), "--clip-size", "160x128", "--low-photos",
                   frames_.string()})
                .status,
            0);
  const CommandRun run = RunKsvcam({"memory", "info", image_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("items: 4, "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    0  IMG  low-quality picture   160x128"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("    3  AVI  low-resolution clip   160x128  3 frames   PCM 12000 Hz"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("counts: high-quality pictures 0 (type 1), low-quality pictures 3 "
                         "(type 2), clips 0 (type 3), low-resolution clips 1 (type 4), "
                         "bursts 0 (type 18)"),
            std::string::npos)
      << run.out;
}

TEST_F(MemoryCommand, InfoWithoutAFileShowsTheCameraTheBulkLibraryUses) {
  const CommandRun simulated = RunKsvcam({"memory", "info"});
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  EXPECT_NE(simulated.out.find("camera memory: simulated camera"), std::string::npos);
  EXPECT_NE(simulated.out.find("items: 10, "), std::string::npos) << simulated.out;

  ASSERT_EQ(Build({"--raw", sound_.string()}).status, 0);
  ::setenv("KSV_CAMERA_MEMORY", image_.c_str(), 1);
  const CommandRun chosen = RunKsvcam({"memory", "info"});
  ::unsetenv("KSV_CAMERA_MEMORY");
  EXPECT_NE(chosen.out.find("items: 1, "), std::string::npos) << chosen.out;
  EXPECT_NE(chosen.out.find("raw recording"), std::string::npos) << chosen.out;
}

TEST_F(MemoryCommand, BadImagesAndBadRequestsAreOneLineErrors) {
  ASSERT_EQ(Build({"--raw", sound_.string()}).status, 0);
  std::vector<uint8_t> image = testing::ReadBytes(image_);
  image.resize(image.size() - 10);
  WriteBytes(image_, image);
  const CommandRun truncated = RunKsvcam({"memory", "info", image_.string()});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_NE(truncated.err.find("truncated"), std::string::npos) << truncated.err;
  EXPECT_EQ(std::count(truncated.err.begin(), truncated.err.end(), '\n'), 1);

  EXPECT_EQ(RunKsvcam({"memory", "info", (folder_ / "none.mem").string()}).status, 1);
  EXPECT_EQ(Build({}).status, 2);                            // nothing to store
  EXPECT_EQ(Build({"--audio", sound_.string()}).status, 2);  // sound without a clip
  EXPECT_EQ(
      Build({"--clip", frames_.string(), "--clip-size", "160x112", "--audio", sound_.string()})
          .status,
      2);
  EXPECT_EQ(Build({"--clip", frames_.string(), "--clip-size", "640x480"}).status, 2);
  EXPECT_EQ(Build({"--burst", frames_.string()}).status, 1);  // three pictures, not five
  const CommandRun notWav = Build({"--clip", frames_.string(), "--audio", image_.string()});
  EXPECT_EQ(notWav.status, 1);
  EXPECT_NE(notWav.err.find("not a WAV file"), std::string::npos) << notWav.err;
  EXPECT_EQ(RunKsvcam({"memory", "build", "--raw", sound_.string(), "-o",
                       (folder_ / "no" / "such" / "x.mem").string()})
                .status,
            1);
}

}  // namespace
}  // namespace ksv::ksvcam
