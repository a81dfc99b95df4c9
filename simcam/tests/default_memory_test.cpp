#include "simcam/default_memory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "simcam/wav_audio.h"
#include "testing/temp_files.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;
namespace {

struct Expected {
  bulk::ItemTag tag;
  uint8_t subtype;
  uint16_t width;
  uint16_t height;
  uint32_t rate;
};

TEST(DefaultMemory, HoldsEveryKindOfItemFromTheTestPhotographs) {
  const bulk::CameraMemory memory = DefaultCameraMemory(DefaultPhotosDir());
  EXPECT_NO_THROW(bulk::CheckMemory(memory));
  EXPECT_EQ(memory.versions, SimulatedCameraVersions());
  const Expected expected[] = {
      {bulk::ItemTag::kPicture, bulk::kHighQualitySubtype, 640, 480, 0},
      {bulk::ItemTag::kPicture, bulk::kHighQualitySubtype, 640, 480, 0},
      {bulk::ItemTag::kPicture, bulk::kLowQualitySubtype, 160, 128, 0},
      {bulk::ItemTag::kBurst, bulk::kNoSubtype, 320, 240, 0},
      {bulk::ItemTag::kClip, bulk::kClipSubtype, 320, 240, 8000},
      {bulk::ItemTag::kPicture, bulk::kLowQualitySubtype, 160, 128, 0},
      {bulk::ItemTag::kClip, bulk::kLowResClipSubtype, 160, 128, 12000},
      {bulk::ItemTag::kVideoClip, bulk::kLowResClipSubtype, 160, 112, 0},
      {bulk::ItemTag::kRecording, bulk::kNoSubtype, 0, 0, 0},
      {bulk::ItemTag::kPicture, bulk::kHighQualitySubtype, 640, 480, 0},
  };
  ASSERT_EQ(memory.items.size(), std::size(expected));
  for (size_t i = 0; i < memory.items.size(); ++i) {
    const bulk::StoredItemHeader& h = memory.items[i].header;
    EXPECT_EQ(memory.items[i].tag(), expected[i].tag) << i;
    EXPECT_EQ(h.subtype, expected[i].subtype) << i;
    EXPECT_EQ(h.width, expected[i].width) << i;
    EXPECT_EQ(h.height, expected[i].height) << i;
    EXPECT_EQ(h.audioRate, expected[i].rate) << i;
  }
  EXPECT_GE(memory.items[4].header.chunkCount, 10);  // long enough to skip sync frames
  EXPECT_EQ(bulk::CountOfType(memory, bulk::kCountHighQualityPictures), 3u);
  EXPECT_EQ(bulk::CountOfType(memory, bulk::kCountLowQualityPictures), 2u);
  EXPECT_EQ(bulk::CountOfType(memory, bulk::kCountClips), 1u);
  EXPECT_EQ(bulk::CountOfType(memory, bulk::kCountLowResClips), 2u);
  EXPECT_EQ(bulk::CountOfType(memory, bulk::kCountBursts), 1u);
  EXPECT_EQ(bulk::CountOfType(memory, 17), std::nullopt);
}

TEST(DefaultMemory, RecordingDownloadsAsAWavFile) {
  const bulk::CameraMemory memory = DefaultCameraMemory(DefaultPhotosDir());
  std::vector<uint8_t> file;
  for (uint8_t b : memory.items[8].Content()) file.push_back(static_cast<uint8_t>(b >> 2 | b << 6));
  const MonoAudio memo = ReadWav(file);
  EXPECT_EQ(memo.rate, 8000u);
  EXPECT_GT(memo.samples.size(), 4000u);
}

TEST(DefaultMemory, DrawsItsPicturesWhenThereAreNoPhotographs) {
  const ::ksv::testing::TempFolder folder;
  const bulk::CameraMemory memory = DefaultCameraMemory(folder.path());
  EXPECT_EQ(memory.items.size(), 10u);
  EXPECT_NO_THROW(bulk::CheckMemory(memory));
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
