#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>

#include "outside/bulk/tests/bulk_test_support.h"
#include "outside/bulk/memory/memory_image.h"
#include "support/byte_order.h"

namespace ksv::outside::bulk {
namespace {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BulkMemoryImage : public testing::BulkTest {
 protected:
  const std::vector<uint8_t> image_ = outside::bulk::WriteMemoryImage(testing::PhotoMemory());

  // Connects to a broken image and reports the error of the failed Init.
  int InitError(const std::vector<uint8_t>& image) {
    UseImage(image, "broken.mem");
    EXPECT_EQ(Connect(), 0);
    return BULK_GetErrCode(0);
  }
};

TEST_F(BulkMemoryImage, ReplaysTheItemsAndVersionsOfTheImage) {
  UseImage(image_);
  const BULK_HANDLE camera = Connect();
  ASSERT_NE(camera, 0);
  EXPECT_EQ(BULK_GetImgCount(camera), 5);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_HQ_PICTURES), 1);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_LQ_PICTURES), 1);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_CLIPS), 1);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_LORES_CLIPS), 0);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_BURSTS), 1);
  char text[256];
  ASSERT_EQ(BULK_GetSensorVer(camera, text), 1);
  EXPECT_STREQ(text, "sensor");
}

TEST_F(BulkMemoryImage, ErasingNeverChangesTheFile) {
  const auto path = UseImage(image_);
  ASSERT_EQ(BULK_ClearCamera(Connect()), 1);
  EXPECT_EQ(ReadBytes(path), image_);
  BULK_UseCameraMemory(path.c_str());
  EXPECT_EQ(BULK_GetImgCount(Connect()), 5);
}

TEST_F(BulkMemoryImage, TheEnvironmentVariableNamesTheImage) {
  const auto path = root_ / "from-environment.mem";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image_.data()),
             static_cast<std::streamsize>(image_.size()));
  ::setenv("KSV_CAMERA_MEMORY", path.c_str(), 1);
  BULK_UseCameraMemory(nullptr);
  EXPECT_EQ(BULK_GetImgCount(Connect()), 5);
  ::unsetenv("KSV_CAMERA_MEMORY");
  BULK_UseCameraMemory(nullptr);
  EXPECT_EQ(BULK_GetImgCount(Connect()), 10);  // the simulated camera again
}

TEST_F(BulkMemoryImage, BadImagesGiveNoConnectionAndSayWhy) {
  BULK_UseCameraMemory((root_ / "missing.mem").c_str());
  EXPECT_EQ(Connect(), 0);
  EXPECT_EQ(BULK_GetErrCode(0), BULK_ERR_NO_MEMORY_IMAGE);

  EXPECT_EQ(InitError({image_.begin(), image_.end() - 100}), BULK_ERR_BAD_MEMORY_IMAGE);
  std::vector<uint8_t> unknownTag = image_;
  std::memcpy(&unknownTag[outside::bulk::kImageHeaderSize + 5 * outside::bulk::kModeRecordSize], "XYZ ", 4);
  EXPECT_EQ(InitError(unknownTag), BULK_ERR_BAD_MEMORY_IMAGE);
  std::vector<uint8_t> hugeItem = image_;
  support::StoreLe32(hugeItem, outside::bulk::kImageHeaderSize + 5 * outside::bulk::kModeRecordSize + 4, 0xFFFFFFC0);
  EXPECT_EQ(InitError(hugeItem), BULK_ERR_BAD_MEMORY_IMAGE);

  // A good image afterwards connects: nothing of the failures stuck.
  UseImage(image_);
  EXPECT_EQ(BULK_GetImgCount(Connect()), 5);
  EXPECT_EQ(BULK_GetErrCode(0), BULK_ERR_NONE);
}

}  // namespace
}  // namespace ksv::outside::bulk
