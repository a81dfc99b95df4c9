// Snapshot files converted into packed bitmaps: the picture, the bitmap's
// header and layout, and what the call's other arguments change.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "include/oksv1sna.h"
#include "platform/memory/global_memory.h"
#include "simcam/framing.h"
#include "snapshot/last_snapshot_path.h"
#include "snapshot/tests/snapshot_test_support.h"
#include "support/picture/picture_file.h"
#include "support/test_data.h"
#include "testing/allocation_counter.h"

namespace ksv::snapshot {
namespace {

using testing::BitmapPicture;
using testing::MakeRawSnapshot;
using testing::OwnedBitmap;
using testing::PatternPicture;

BITMAPINFOHEADER HeaderOf(const void* bitmap) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap, sizeof header);
  return header;
}

class RawToFile : public ::testing::Test {
 protected:
  // Writes `file` as the snapshot file and converts it in mode 2.
  int32_t Convert(const std::vector<uint8_t>& file, OwnedBitmap& bitmap, double rawType = 0.0) {
    testing::WriteFile(path_, file);
    return KXSNAPSHOT_RawToFile(rawType, path_.c_str(), KXSNAPSHOT_MODE_CONVERT, bitmap.out());
  }

  testing::TempFolder folder_;
  std::filesystem::path path_ = folder_ / "snapraw.dat";
};

TEST_F(RawToFile, DriverSnapshotOfAPhotographBecomesThatPicture) {
  const picture::RgbPicture photo = simcam::FitToSize(
      picture::ReadPicture(support::TestDataPath("photos/astronaut.png")), 320, 240);
  const std::vector<uint8_t> file = MakeRawSnapshot(photo);
  ASSERT_EQ(file.size(), testing::kDriverSnapshotBytes);

  OwnedBitmap bitmap;
  ASSERT_EQ(Convert(file, bitmap), KXSNAPSHOT_OK);
  ASSERT_NE(bitmap.block(), nullptr);
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 320 * 240 * 3);
  const BITMAPINFOHEADER header = HeaderOf(bitmap.bits());
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 320);
  EXPECT_EQ(header.biHeight, 240);  // positive: bottom-up, as the file
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, BI_RGB);
  EXPECT_EQ(header.biSizeImage, 320u * 240 * 3);
  EXPECT_EQ(header.biXPelsPerMeter, 0);
  EXPECT_EQ(header.biYPelsPerMeter, 0);
  EXPECT_EQ(header.biClrUsed, 0u);
  // Exactly the photograph: same row order, same channel order.
  const picture::RgbPicture converted = BitmapPicture(bitmap.block());
  EXPECT_TRUE(converted.pixels == photo.pixels) << "picture flipped, mirrored or channel-swapped";
}

TEST_F(RawToFile, RowsNotAMultipleOfFourBytesAreReadPadded) {
  // 321 pixels: 963 bytes a row, padded to 964 in the file and the bitmap.
  const picture::RgbPicture picture = PatternPicture(321, 5);
  const std::vector<uint8_t> file = MakeRawSnapshot(picture);
  ASSERT_EQ(file.size(), 1024u + 964 * 5);
  OwnedBitmap bitmap;
  ASSERT_EQ(Convert(file, bitmap), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 964 * 5);
  EXPECT_EQ(HeaderOf(bitmap.bits()).biSizeImage, 964u * 5);
  EXPECT_TRUE(BitmapPicture(bitmap.block()).pixels == picture.pixels);
}

TEST_F(RawToFile, BlockIsTheHeaderAndTheRowsOfTheFilesSize) {
  OwnedBitmap large;
  ASSERT_EQ(Convert(MakeRawSnapshot(PatternPicture(640, 480)), large), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(large.block()), 921640u);
  OwnedBitmap tiny;
  ASSERT_EQ(Convert(MakeRawSnapshot(PatternPicture(1, 1)), tiny), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(tiny.block()), 44u);
}

TEST_F(RawToFile, BytesAfterThePictureAreNotRead) {
  const picture::RgbPicture picture = PatternPicture(16, 8);
  std::vector<uint8_t> file = MakeRawSnapshot(picture);
  file.resize(file.size() + 5000, 0xEE);
  OwnedBitmap bitmap;
  ASSERT_EQ(Convert(file, bitmap), KXSNAPSHOT_OK);
  EXPECT_EQ(GlobalSize(bitmap.block()), 40u + 48 * 8);
  EXPECT_TRUE(BitmapPicture(bitmap.block()).pixels == picture.pixels);
}

TEST_F(RawToFile, RawDataTypeChangesNothing) {
  const std::vector<uint8_t> file = MakeRawSnapshot(PatternPicture(30, 20));
  OwnedBitmap reference;
  ASSERT_EQ(Convert(file, reference, 0.0), KXSNAPSHOT_OK);
  const std::vector<uint8_t> expected = testing::BitmapPixelBytes(reference.bits());
  for (const double rawType : {1.0, 2.0, 3.0, -1.0, std::nan("")}) {
    OwnedBitmap bitmap;
    ASSERT_EQ(Convert(file, bitmap, rawType), KXSNAPSHOT_OK) << rawType;
    EXPECT_EQ(testing::BitmapPixelBytes(bitmap.bits()), expected) << rawType;
  }
}

TEST_F(RawToFile, OtherModesReadNothingAndLeaveTheOutHandleAlone) {
  testing::WriteFile(path_, MakeRawSnapshot(PatternPicture(8, 8)));
  HGLOBAL sentinel = &path_;  // any value the call must not replace
  for (const int32_t mode : {0, 1, 3, -1, 0x7FFFFFFF}) {
    HGLOBAL out = sentinel;
    EXPECT_EQ(KXSNAPSHOT_RawToFile(0.0, path_.c_str(), mode, &out), KXSNAPSHOT_REFUSED) << mode;
    EXPECT_EQ(out, sentinel) << mode;
  }
  // The path is kept even when the mode refuses.
  EXPECT_EQ(LastSnapshotPath(), path_.string());
}

TEST_F(RawToFile, NullPathOrOutPointerIsRefused) {
  HGLOBAL sentinel = &path_;
  HGLOBAL out = sentinel;
  EXPECT_EQ(KXSNAPSHOT_RawToFile(0.0, nullptr, KXSNAPSHOT_MODE_CONVERT, &out), KXSNAPSHOT_REFUSED);
  EXPECT_EQ(out, sentinel);
  testing::WriteFile(path_, MakeRawSnapshot(PatternPicture(8, 8)));
  EXPECT_EQ(KXSNAPSHOT_RawToFile(0.0, path_.c_str(), KXSNAPSHOT_MODE_CONVERT, nullptr),
            KXSNAPSHOT_REFUSED);
}

TEST_F(RawToFile, PathsOfAnyLengthAreKeptWhole) {
  const std::string longPath = "/" + std::string(5000, 'p');
  HGLOBAL out = nullptr;
  EXPECT_EQ(KXSNAPSHOT_RawToFile(0.0, longPath.c_str(), KXSNAPSHOT_MODE_CONVERT, &out),
            KXSNAPSHOT_CANNOT_OPEN);
  EXPECT_EQ(LastSnapshotPath(), longPath);
}

// Out of memory inside the export is its failure code, never an exception
// thrown at a C caller.
TEST_F(RawToFile, AFailedAllocationIsAFailureNotAnException) {
  testing::WriteFile(path_, MakeRawSnapshot(PatternPicture(320, 240)));
  HGLOBAL bitmap = nullptr;
  ksv::testing::FailAllocations(true);
  const int32_t status = KXSNAPSHOT_RawToFile(0.0, path_.c_str(), KXSNAPSHOT_MODE_CONVERT, &bitmap);
  ksv::testing::FailAllocations(false);
  EXPECT_EQ(status, KXSNAPSHOT_NO_BITMAP);
  EXPECT_EQ(bitmap, nullptr);
}

}  // namespace
}  // namespace ksv::snapshot
