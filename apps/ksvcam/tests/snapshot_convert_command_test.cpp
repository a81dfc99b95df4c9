// `ksvcam snapshot-convert` end to end: raw snapshot files laid out as the
// driver writes them, converted through the snapshot library into BMP and
// PNG files.
#include <gtest/gtest.h>

#include <algorithm>

#include "apps/ksvcam/tests/test_support.h"
#include "simcam/framing.h"
#include "snapshot/tests/snapshot_test_support.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::ReadBytes;
using testing::RunKsvcam;
using testing::WriteBytes;

class SnapshotConvertCommand : public ::testing::Test {
 protected:
  CommandRun Convert(const std::vector<uint8_t>& file, const std::string& output) {
    WriteBytes(snapshot_, file);
    return RunKsvcam({"snapshot-convert", snapshot_.string(), "-o", (folder_ / output).string()});
  }

  testing::TempFolder folder_;
  fs::path snapshot_ = folder_ / "snapraw.dat";
};

TEST_F(SnapshotConvertCommand, DriverSnapshotOfAPhotographBecomesThatPictureInBmpAndPng) {
  const picture::RgbPicture photo = simcam::FitToSize(
      picture::ReadPicture((testing::TestDataDir() / "photos" / "coffee.png").string()), 320, 240);
  const std::vector<uint8_t> file = snapshot::testing::MakeRawSnapshot(photo);
  ASSERT_EQ(file.size(), snapshot::testing::kDriverSnapshotBytes);

  for (const std::string output : {"snap.png", "snap.bmp", "SNAP.PNG"}) {
    const CommandRun run = Convert(file, output);
    ASSERT_EQ(run.status, 0) << output << ": " << run.err;
    EXPECT_EQ(run.err, "") << output;
    const std::vector<uint8_t> written = ReadBytes(folder_ / output);
    const picture::RgbPicture picture = output.ends_with(".bmp") ? testing::DecodeBmpFile(written)
                                                                 : testing::DecodePngFile(written);
    EXPECT_EQ(picture.width, 320u) << output;
    EXPECT_EQ(picture.height, 240u) << output;
    EXPECT_TRUE(picture.pixels == photo.pixels)
        << output << ": picture flipped, mirrored or channel-swapped";
  }
}

TEST_F(SnapshotConvertCommand, PaddedRowsOfAnOddWidthAreNotTakenAsPixels) {
  const picture::RgbPicture picture = snapshot::testing::PatternPicture(321, 7);
  ASSERT_EQ(Convert(snapshot::testing::MakeRawSnapshot(picture), "odd.png").status, 0);
  EXPECT_TRUE(testing::DecodePngFile(ReadBytes(folder_ / "odd.png")).pixels == picture.pixels);
}

TEST_F(SnapshotConvertCommand, CutOffFileConvertsWithAWarningAndBlackTopRows) {
  const picture::RgbPicture picture = snapshot::testing::PatternPicture(320, 240);
  std::vector<uint8_t> file = snapshot::testing::MakeRawSnapshot(picture);
  file.resize(1024 + 3 * 960 + 100);  // the bottom three rows and a bit
  const CommandRun run = Convert(file, "cut.png");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: '" + snapshot_.string() + "' holds 3 of the 240 rows"),
            std::string::npos)
      << run.err;
  const picture::RgbPicture converted = testing::DecodePngFile(ReadBytes(folder_ / "cut.png"));
  const size_t rowBytes = 320 * 3;
  // The bottom three rows are the file's; above the partly held fourth row
  // everything is black.
  EXPECT_TRUE(std::equal(picture.pixels.end() - 3 * rowBytes, picture.pixels.end(),
                         converted.pixels.end() - 3 * rowBytes));
  EXPECT_TRUE(std::all_of(converted.pixels.begin(), converted.pixels.begin() + 236 * rowBytes,
                          [](uint8_t b) { return b == 0; }));
}

TEST_F(SnapshotConvertCommand, UnusableSnapshotsFailWithAReasonAndWriteNothing) {
  std::vector<uint8_t> oversize = snapshot::testing::MakeRawSnapshot(
      snapshot::testing::PatternPicture(320, 240));
  snapshot::testing::SetHeaderSize(oversize, 65535, 65535);
  const struct {
    std::vector<uint8_t> file;
    std::string reason;
  } cases[] = {
      {std::vector<uint8_t>(127, 0), "shorter than the 128-byte header"},
      {oversize, "names a picture size of 0, one above 16 MiB"},
  };
  for (const auto& bad : cases) {
    const CommandRun run = Convert(bad.file, "bad.png");
    EXPECT_EQ(run.status, 1) << bad.reason;
    EXPECT_NE(run.err.find(bad.reason), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "bad.png")) << bad.reason;
  }

  const CommandRun missing = RunKsvcam(
      {"snapshot-convert", (folder_ / "none.dat").string(), "-o", (folder_ / "bad.png").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(folder_ / "bad.png"));
}

TEST_F(SnapshotConvertCommand, OutputOtherThanAPictureFileIsAUsageError) {
  const std::vector<uint8_t> file =
      snapshot::testing::MakeRawSnapshot(snapshot::testing::PatternPicture(8, 8));
  for (const std::string output : {"snap.i420", "snap.gif", "snap"}) {
    const CommandRun run = Convert(file, output);
    EXPECT_EQ(run.status, 2) << output;
    EXPECT_NE(run.err.find(".bmp, .png or .jpg"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / output)) << output;
  }
}

}  // namespace
}  // namespace ksv::ksvcam
