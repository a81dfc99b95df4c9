// Snapshot files that are missing, not files, too short, cut off, or whose
// header names an impossible picture: a clear status, never a read outside
// the file or a huge block.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "include/oksv1sna.h"
#include "platform/memory/global_memory.h"
#include "snapshot/tests/snapshot_test_support.h"

namespace ksv::snapshot {
namespace {

using testing::MakeRawSnapshot;
using testing::OwnedBitmap;
using testing::PatternPicture;
using testing::SetHeaderSize;

class BadSnapshot : public ::testing::Test {
 protected:
  // Converts the file at `path`, starting from a non-null out handle so that
  // a failure is seen to clear it.
  int32_t ConvertPath(const std::filesystem::path& path, OwnedBitmap& bitmap) {
    HGLOBAL out = &folder_;
    const int32_t status =
        KXSNAPSHOT_RawToFile(0.0, path.c_str(), KXSNAPSHOT_MODE_CONVERT, &out);
    if (status == KXSNAPSHOT_OK) {
      if (*bitmap.out() != nullptr) GlobalFree(*bitmap.out());
      *bitmap.out() = out;
    }
    EXPECT_TRUE(status == KXSNAPSHOT_OK || out == nullptr) << "status " << status;
    return status;
  }
  int32_t Convert(const std::vector<uint8_t>& file, OwnedBitmap& bitmap) {
    testing::WriteFile(path_, file);
    return ConvertPath(path_, bitmap);
  }

  testing::TempFolder folder_;
  std::filesystem::path path_ = folder_ / "snapraw.dat";
};

TEST_F(BadSnapshot, FilesThatCannotBeOpenedAsPlainFilesGiveStatusTwo) {
  OwnedBitmap bitmap;
  EXPECT_EQ(ConvertPath(folder_ / "missing.dat", bitmap), KXSNAPSHOT_CANNOT_OPEN);
  EXPECT_EQ(ConvertPath("", bitmap), KXSNAPSHOT_CANNOT_OPEN);
  EXPECT_EQ(ConvertPath(folder_.path(), bitmap), KXSNAPSHOT_CANNOT_OPEN);  // a folder
  // A named pipe in the file's place must neither hang the call nor be read.
  const auto pipe = folder_ / "pipe.dat";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(ConvertPath(pipe, bitmap), KXSNAPSHOT_CANNOT_OPEN);
  if (geteuid() != 0) {  // root reads anything
    testing::WriteFile(path_, MakeRawSnapshot(PatternPicture(4, 4)));
    ASSERT_EQ(chmod(path_.c_str(), 0), 0);
    EXPECT_EQ(ConvertPath(path_, bitmap), KXSNAPSHOT_CANNOT_OPEN);
  }
}

TEST_F(BadSnapshot, FilesShorterThanTheHeaderBlockGiveStatusThree) {
  const std::vector<uint8_t> whole = MakeRawSnapshot(PatternPicture(320, 240));
  for (const size_t size : {size_t{0}, size_t{1}, size_t{66}, size_t{69}, size_t{127}}) {
    OwnedBitmap bitmap;
    EXPECT_EQ(Convert({whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size)}, bitmap),
              KXSNAPSHOT_NO_SIZE)
        << size << " bytes";
  }
}

TEST_F(BadSnapshot, HeaderBlockAloneGivesABlackPicture) {
  std::vector<uint8_t> file = MakeRawSnapshot(PatternPicture(320, 240));
  file.resize(128);
  OwnedBitmap bitmap;
  ASSERT_EQ(Convert(file, bitmap), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 320 * 240 * 3);
  const std::vector<uint8_t> pixels = testing::BitmapPixelBytes(bitmap.bits());
  EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(BadSnapshot, CutOffFileKeepsItsBottomRowsAndLeavesTheRestBlack) {
  const std::vector<uint8_t> whole = MakeRawSnapshot(PatternPicture(320, 240));
  // Three whole rows of 960 bytes and part of a fourth, ending mid-pixel.
  for (const size_t present : {size_t{0}, size_t{1}, size_t{3 * 960 + 500}, size_t{230399}}) {
    std::vector<uint8_t> file(whole.begin(), whole.begin() + 1024 + static_cast<ptrdiff_t>(present));
    OwnedBitmap bitmap;
    ASSERT_EQ(Convert(file, bitmap), KXSNAPSHOT_OK) << present;
    std::vector<uint8_t> expected(whole.begin() + 1024, whole.end());
    std::fill(expected.begin() + static_cast<ptrdiff_t>(present), expected.end(), 0);
    EXPECT_TRUE(testing::BitmapPixelBytes(bitmap.bits()) == expected) << present;
  }
}

TEST_F(BadSnapshot, HeaderNamingAPictureFarLargerThanTheFileIsRefusedWithoutAllocating) {
  std::vector<uint8_t> file = MakeRawSnapshot(PatternPicture(320, 240));
  SetHeaderSize(file, 65535, 65535);  // 12 GB of pixels
  OwnedBitmap bitmap;
  EXPECT_EQ(Convert(file, bitmap), KXSNAPSHOT_NO_BITMAP);
  SetHeaderSize(file, 65535, 1);  // a side beyond what a bitmap may have
  EXPECT_EQ(Convert(file, bitmap), KXSNAPSHOT_NO_BITMAP);
}

TEST_F(BadSnapshot, PicturesUpToTheLimitConvertAndOneRowMoreIsRefused) {
  // 4096 pixels make 12288-byte rows: 1365 rows fit in 16 MiB, 1366 do not.
  static_assert(12288u * 1365 <= KXSNAPSHOT_MAX_IMAGE_BYTES);
  static_assert(12288u * 1366 > KXSNAPSHOT_MAX_IMAGE_BYTES);
  std::vector<uint8_t> file = MakeRawSnapshot(PatternPicture(320, 240));
  SetHeaderSize(file, 4096, 1365);
  OwnedBitmap fits;
  ASSERT_EQ(Convert(file, fits), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(fits.block()), 40u + 12288 * 1365);
  // The file's bytes fill the first rows as they lie; nothing more is read.
  const std::vector<uint8_t> pixels = testing::BitmapPixelBytes(fits.bits());
  EXPECT_TRUE(std::equal(file.begin() + 1024, file.end(), pixels.begin()));
  EXPECT_TRUE(std::all_of(pixels.begin() + static_cast<ptrdiff_t>(file.size() - 1024),
                          pixels.end(), [](uint8_t b) { return b == 0; }));

  SetHeaderSize(file, 4096, 1366);
  OwnedBitmap tooLarge;
  EXPECT_EQ(Convert(file, tooLarge), KXSNAPSHOT_NO_BITMAP);
}

TEST_F(BadSnapshot, EmptyPictureSizeIsRefused) {
  std::vector<uint8_t> file = MakeRawSnapshot(PatternPicture(320, 240));
  for (const auto& [width, height] : {std::pair<uint16_t, uint16_t>{0, 240}, {320, 0}, {0, 0}}) {
    SetHeaderSize(file, width, height);
    OwnedBitmap bitmap;
    EXPECT_EQ(Convert(file, bitmap), KXSNAPSHOT_NO_BITMAP) << width << " x " << height;
  }
}

}  // namespace
}  // namespace ksv::snapshot
