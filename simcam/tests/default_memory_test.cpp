#include "simcam/default_memory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "simcam/memory_builder.h"
#include "simcam/wav_audio.h"
#include "testing/temp_files.h"

namespace ksv::simcam {
namespace {

struct Expected {
  ItemTag tag;
  uint8_t subtype;
  uint16_t width;
  uint16_t height;
  uint32_t rate;
};

TEST(DefaultMemory, HoldsEveryKindOfItemFromTheTestPhotographs) {
  const CameraMemory memory = DefaultCameraMemory(DefaultPhotosDir());
  EXPECT_NO_THROW(CheckMemory(memory));
  EXPECT_EQ(memory.versions, SimulatedCameraVersions());
  const Expected expected[] = {
      {ItemTag::kPicture, kHighQualitySubtype, 640, 480, 0},
      {ItemTag::kPicture, kHighQualitySubtype, 640, 480, 0},
      {ItemTag::kPicture, kLowQualitySubtype, 160, 128, 0},
      {ItemTag::kBurst, kNoSubtype, 320, 240, 0},
      {ItemTag::kClip, kClipSubtype, 320, 240, 8000},
      {ItemTag::kPicture, kLowQualitySubtype, 160, 128, 0},
      {ItemTag::kClip, kLowResClipSubtype, 160, 128, 12000},
      {ItemTag::kVideoClip, kLowResClipSubtype, 160, 112, 0},
      {ItemTag::kRecording, kNoSubtype, 0, 0, 0},
      {ItemTag::kPicture, kHighQualitySubtype, 640, 480, 0},
  };
  ASSERT_EQ(memory.items.size(), std::size(expected));
  for (size_t i = 0; i < memory.items.size(); ++i) {
    const StoredItemHeader& h = memory.items[i].header;
    EXPECT_EQ(memory.items[i].tag(), expected[i].tag) << i;
    EXPECT_EQ(h.subtype, expected[i].subtype) << i;
    EXPECT_EQ(h.width, expected[i].width) << i;
    EXPECT_EQ(h.height, expected[i].height) << i;
    EXPECT_EQ(h.audioRate, expected[i].rate) << i;
  }
  EXPECT_GE(memory.items[4].header.chunkCount, 10);  // long enough to skip sync frames
  EXPECT_EQ(CountOfType(memory, kCountHighQualityPictures), 3u);
  EXPECT_EQ(CountOfType(memory, kCountLowQualityPictures), 2u);
  EXPECT_EQ(CountOfType(memory, kCountClips), 1u);
  EXPECT_EQ(CountOfType(memory, kCountLowResClips), 2u);
  EXPECT_EQ(CountOfType(memory, kCountBursts), 1u);
  EXPECT_EQ(CountOfType(memory, 17), std::nullopt);
}

TEST(DefaultMemory, RecordingDownloadsAsAWavFile) {
  const CameraMemory memory = DefaultCameraMemory(DefaultPhotosDir());
  std::vector<uint8_t> file;
  for (uint8_t b : memory.items[8].Content()) file.push_back(static_cast<uint8_t>(b >> 2 | b << 6));
  const MonoAudio memo = ReadWav(file);
  EXPECT_EQ(memo.rate, 8000u);
  EXPECT_GT(memo.samples.size(), 4000u);
}

TEST(DefaultMemory, DrawsItsPicturesWhenThereAreNoPhotographs) {
  const ::ksv::testing::TempFolder folder;
  const CameraMemory memory = DefaultCameraMemory(folder.path());
  EXPECT_EQ(memory.items.size(), 10u);
  EXPECT_NO_THROW(CheckMemory(memory));
}

TEST(DefaultMemory, PhotosFolderFollowsTheTestDataVariable) {
  const char* saved = std::getenv("KSV_TESTDATA_DIR");
  const std::string previous = saved ? saved : "";
  ::setenv("KSV_TESTDATA_DIR", "/some/data", 1);
  EXPECT_EQ(DefaultPhotosDir(), std::filesystem::path("/some/data/photos"));
  ::unsetenv("KSV_TESTDATA_DIR");
  EXPECT_TRUE(std::filesystem::is_directory(DefaultPhotosDir())) << DefaultPhotosDir();
  if (saved) ::setenv("KSV_TESTDATA_DIR", previous.c_str(), 1);
}

}  // namespace
}  // namespace ksv::simcam
