#include <gtest/gtest.h>

#include <filesystem>

#include "include/oksv1jpg.h"
#include "outside/jpeg/tests/jpeg_test_support.h"

namespace ksv::outside::jpeg {
namespace {

namespace fs = std::filesystem;
using testing::OwnedBitmap;
using testing::ReadFile;

// The first luminance quantisation entry of a JPEG file's first DQT.
int FirstLuminanceQuant(const std::vector<uint8_t>& jpeg) {
  for (size_t at = 2; at + 5 < jpeg.size(); ++at) {
    if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xDB) return jpeg[at + 5];
  }
  return -1;
}

class JpegSave : public ::testing::Test {
 protected:
  static constexpr int kWidth = 37;  // rows of 111 bytes, padded to 112
  static constexpr int kHeight = 23;
  const std::vector<uint8_t> rgb_ = testing::TestPixels(kWidth, kHeight, 3);
  const std::vector<uint8_t> rows_ = testing::ToBitmapRows(rgb_, kWidth, kHeight);
  testing::TempFolder folder_;
  const fs::path path_ = folder_ / "saved.jpg";

  BOOL Save(int quality, int width = kWidth, int height = kHeight) {
    return JPEG_SaveBMPImg(path_.c_str(), quality, width, height, rows_.data());
  }
  size_t FilesInFolder() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()));
  }
};

TEST_F(JpegSave, WritesTheBitmapRowsAsAJpegThatDecodesBack) {
  ASSERT_NE(Save(95), FALSE);
  OwnedBitmap bitmap(JPEG_2Dib(path_.c_str()));
  ASSERT_TRUE(bitmap);
  EXPECT_GT(testing::Psnr(testing::TopDownSamples(bitmap.bits()), rgb_), 30.0);
  EXPECT_EQ(FilesInFolder(), 1u);  // no temporary file left beside it
}

TEST_F(JpegSave, UsesTheQualityItIsGiven) {
  // libjpeg's scaling of Annex K: quality 80 keeps 40 %, 50 keeps 100 %,
  // of the luminance DC entry 16.
  ASSERT_NE(Save(80), FALSE);
  EXPECT_EQ(FirstLuminanceQuant(ReadFile(path_)), 6);
  const size_t size80 = fs::file_size(path_);
  ASSERT_NE(Save(50), FALSE);
  EXPECT_EQ(FirstLuminanceQuant(ReadFile(path_)), 16);
  EXPECT_LT(fs::file_size(path_), size80);
  ASSERT_NE(Save(500), FALSE);  // taken as 100
  EXPECT_EQ(FirstLuminanceQuant(ReadFile(path_)), 1);
}

TEST_F(JpegSave, AFailureLeavesTheEarlierFileAsItWas) {
  testing::WriteFile(path_, {'o', 'l', 'd'});
  EXPECT_EQ(Save(80, 0, kHeight), FALSE);
  EXPECT_EQ(Save(80, kWidth, -1), FALSE);
  EXPECT_EQ(JPEG_SaveBMPImg(path_.c_str(), 80, kWidth, kHeight, nullptr), FALSE);
  EXPECT_EQ(ReadFile(path_), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(FilesInFolder(), 1u);

  // A folder in the way of the rename: the new file is removed again.
  const fs::path folderTarget = folder_ / "taken";
  fs::create_directory(folderTarget);
  fs::create_directory(folderTarget / "inside");
  EXPECT_EQ(JPEG_SaveBMPImg(folderTarget.c_str(), 80, kWidth, kHeight, rows_.data()), FALSE);
  EXPECT_EQ(FilesInFolder(), 2u);
  EXPECT_TRUE(fs::is_directory(folderTarget / "inside"));
}

TEST_F(JpegSave, RefusesAPathItCannotWrite) {
  EXPECT_EQ(
      JPEG_SaveBMPImg((folder_ / "no" / "such.jpg").c_str(), 80, kWidth, kHeight, rows_.data()),
      FALSE);
  EXPECT_EQ(JPEG_SaveBMPImg(nullptr, 80, kWidth, kHeight, rows_.data()), FALSE);
  EXPECT_EQ(JPEG_SaveBMPImg("", 80, kWidth, kHeight, rows_.data()), FALSE);
}

TEST_F(JpegSave, ReplacesAnExistingFile) {
  testing::WriteFile(path_, {'o', 'l', 'd'});
  ASSERT_NE(Save(80), FALSE);
  const std::vector<uint8_t> saved = ReadFile(path_);
  ASSERT_GT(saved.size(), 100u);
  EXPECT_EQ(saved[0], 0xFF);
  EXPECT_EQ(saved[1], 0xD8);
}

}  // namespace
}  // namespace ksv::outside::jpeg
