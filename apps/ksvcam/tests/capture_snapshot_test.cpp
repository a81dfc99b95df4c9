// `ksvcam capture --snapshot-at`: the camera's button or a "SnapShoot"
// request during a capture makes the driver write its raw snapshot file,
// which `ksvcam snapshot-convert` turns into the picture of that frame.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "apps/ksvcam/tests/test_support.h"
#include "common/driver_settings.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::RunKsvcam;
using testing::TempFolder;

constexpr uintmax_t kSnapshotFileSize = 231424;

class CaptureSnapshot : public ::testing::Test {
 protected:
  CaptureSnapshot() { ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1); }
  ~CaptureSnapshot() override { ::unsetenv("KSV_ROOT"); }

  fs::path SnapshotFile() const { return folder_ / "root" / "TWAIN_32" / "Orvan" / "KSV1" /
                                         "snapraw.dat"; }

  // The frame number the summary says the snapshot was taken from.
  static int TakenFrom(const std::string& out) {
    const size_t at = out.find("taken from frame ");
    if (at == std::string::npos) return -1;
    return std::stoi(out.substr(at + 17));
  }

  // Converts the snapshot file and returns its picture.
  picture::RgbPicture Converted() {
    const fs::path png = folder_ / "snapshot.png";
    const CommandRun run =
        RunKsvcam({"snapshot-convert", SnapshotFile().string(), "-o", png.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    return testing::DecodePngFile(testing::ReadBytes(png));
  }

  picture::RgbPicture Frame(int number) const {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d.bmp", number);
    return testing::DecodeBmpFile(testing::ReadBytes(folder_ / "frames" / name));
  }

  TempFolder folder_;
};

TEST_F(CaptureSnapshot, AButtonPressGivesTheFileOfTheNextFrameAndItConvertsToThatPicture) {
  const CommandRun run = RunKsvcam({"capture", "-f", "bgr24", "-n", "12", "--out",
                                    (folder_ / "frames").string(), "--snapshot-at", "4"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(fs::file_size(SnapshotFile()), kSnapshotFileSize);
  const int frame = TakenFrom(run.out);
  ASSERT_GE(frame, 5) << run.out;
  EXPECT_LE(frame, 6) << run.out;

  const picture::RgbPicture picture = Converted();
  ASSERT_EQ(picture.width, 320u);
  ASSERT_EQ(picture.height, 240u);
  EXPECT_EQ(picture.pixels, Frame(frame).pixels);
  EXPECT_NE(picture.pixels, Frame(frame - 1).pixels) << "the scene moves";

  EXPECT_EQ(common::ReadMachineDword("SnapShot"), 1u);
  EXPECT_EQ(common::ReadMachineDword("SnapShoot"), 0u);
  EXPECT_EQ(common::ReadMachineDword("Button"), 0u) << "released after the snapshot";
  EXPECT_EQ(common::ReadMachineDword("TimerTrigger"), 0u)
      << "only the idle poll latches the trigger";
}

TEST_F(CaptureSnapshot, ARegistryRequestOnTheSmallStreamGivesItsPictureDoubled) {
  const CommandRun run =
      RunKsvcam({"capture", "-f", "bgr24", "-s", "160x120", "-n", "10", "--out",
                 (folder_ / "frames").string(), "--snapshot-at", "3", "--snapshot-via",
                 "registry"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(TakenFrom(run.out), 4) << "the frame after the request was taken up";
  ASSERT_EQ(fs::file_size(SnapshotFile()), kSnapshotFileSize);
  EXPECT_EQ(common::ReadMachineDword("SnapShoot"), 0u);
  EXPECT_EQ(common::ReadMachineDword("SnapShot"), 1u);

  const picture::RgbPicture picture = Converted();
  const picture::RgbPicture small = Frame(4);
  ASSERT_EQ(picture.width, 320u);
  ASSERT_EQ(small.width, 160u);
  size_t mismatches = 0;
  for (uint32_t y = 0; y < 240; ++y) {
    for (uint32_t x = 0; x < 320 * 3; ++x) {
      const size_t smallAt = (y / 2) * 160 * 3 + (x / 6) * 3 + x % 3;
      mismatches += picture.pixels[y * 320 * 3 + x] != small.pixels[smallAt];
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST_F(CaptureSnapshot, ARequestTooLateOrAnUnknownTriggerIsAUsageError) {
  const CommandRun late = RunKsvcam({"capture", "-n", "10", "--snapshot-at", "9"});
  EXPECT_EQ(late.status, 2);
  EXPECT_NE(late.err.find("at most 8"), std::string::npos) << late.err;
  const CommandRun unknown =
      RunKsvcam({"capture", "-n", "10", "--snapshot-at", "2", "--snapshot-via", "shout"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("button or registry"), std::string::npos) << unknown.err;
  const CommandRun alone = RunKsvcam({"capture", "-n", "10", "--snapshot-via", "registry"});
  EXPECT_EQ(alone.status, 2) << "a trigger without a frame is a mistake";
  EXPECT_FALSE(fs::exists(SnapshotFile()));
}

}  // namespace
}  // namespace ksv::ksvcam
