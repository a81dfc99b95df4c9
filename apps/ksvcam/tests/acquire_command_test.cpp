// `ksvcam acquire`, scripted on a fresh machine after `setup`: the data
// source brings the camera up, the control shows its live picture, a
// snapshot is transferred, a UI-less capture takes one picture, the camera's
// stored items are downloaded and saved, and a camera another process
// streams is reported in use.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>
#include <thread>

#include "apps/ksvcam/tests/test_support.h"
#include "platform/registry/registry_store.h"
#include "support/picture/psnr.h"
#include "testing/djpeg_oracle.h"

extern char** environ;

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::RunKsvcam;

class AcquireCommand : public ::testing::Test {
 protected:
  AcquireCommand() {
    ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1);
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
    ::setenv("KSV_SCREEN_SIZE", "1024x768", 1);  // the large layout
  }
  ~AcquireCommand() override {
    ::unsetenv("KSV_ROOT");
    ::unsetenv("KSV_MODULE_DIR");
    ::unsetenv("KSV_SCREEN_SIZE");
  }
  void SetUp() override {
    const auto setup = RunKsvcam({"setup"});
    ASSERT_EQ(setup.status, 0) << setup.err;
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  uint32_t DriverValue(const char* name) {
    return platform::RegistryStore::OpenMachineHive()
        ->GetDword("Software\\Tarvio\\KSV Drivers\\", name)
        .value_or(0xFFFFFFFF);
  }

  testing::TempFolder folder_;
};

TEST_F(AcquireCommand, ASnapshotTransfersOneLivePictureAndUilessTakesOne) {
  auto run = RunKsvcam({"acquire", "--do", "snapshot", "--do", "transfer", "--do", "exit", "--out", Path("out")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "wrote " + Path("out") + "/Image1.png (640x480)\nacquired 1 image\n");
  const picture::RgbPicture image = testing::DecodePngFile(testing::ReadBytes(Path("out") + "/Image1.png"));
  // The camera's test card: its eight bars differ.
  EXPECT_NE(std::vector<uint8_t>(image.pixels.begin(), image.pixels.begin() + 3),
            std::vector<uint8_t>(image.pixels.begin() + 639 * 3, image.pixels.begin() + 640 * 3));
  // The trigger opened the camera library while the preview streamed; its
  // reset left the stream free to open again.
  EXPECT_EQ(DriverValue("BulkMode"), 0u);
  EXPECT_EQ(fs::directory_iterator(Path("out")) == fs::directory_iterator(), false);

  run = RunKsvcam({"acquire", "--uiless", "-o", Path("snap.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(testing::DecodePngFile(testing::ReadBytes(Path("snap.png"))).width, 640u);

  EXPECT_EQ(RunKsvcam({"acquire", "--out", Path("out")}).status, 2) << "no display and no --do: never a wait";
  EXPECT_EQ(RunKsvcam({"acquire", "--do", "jump"}).status, 2);
}

// The video view of the window shows what the camera sends: one of the
// frames `capture` takes of the same test card (its moving bar steps
// through 16 places, so the best of 16 frames is the one shown).
TEST_F(AcquireCommand, TheWindowShowsTheCameraInItsVideoView) {
  auto run = RunKsvcam({"acquire", "--do", "wait:2", "--do", "screenshot:" + Path("window.png"), "--do", "exit"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunKsvcam({"capture", "-n", "16", "--out", Path("frames")});
  ASSERT_EQ(run.status, 0) << run.err;
  const picture::RgbPicture window = testing::DecodePngFile(testing::ReadBytes(Path("window.png")));
  picture::RgbPicture view{320, 240, std::vector<uint8_t>(320 * 240 * 3)};
  for (uint32_t y = 0; y < 240; ++y) {
    std::copy_n(&window.pixels[((100 + y) * window.width + 144) * 3], 320 * 3, &view.pixels[y * 320 * 3]);
  }
  double psnr = 0;
  for (int n = 1; n <= 16; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06d.png", n);
    const picture::RgbPicture frame = testing::DecodePngFile(testing::ReadBytes(Path("frames") + name));
    ASSERT_EQ(frame.width, 320u);
    psnr = std::max(psnr, picture::Psnr(frame, view));
  }
  std::printf("video view against a captured frame: %.1f dB\n", psnr);
  EXPECT_GE(psnr, 25.0);
}

// A JPEG file as djpeg decodes it.
picture::RgbPicture DjpegPicture(const fs::path& jpeg) {
  const ksv::testing::DjpegRun run = ksv::testing::RunDjpeg(jpeg);
  EXPECT_EQ(run.status, 0) << jpeg << ": " << run.messages;
  std::istringstream header(std::string(run.pixels.begin(), run.pixels.begin() + std::min<size_t>(run.pixels.size(), 32)));
  std::string magic;
  picture::RgbPicture picture;
  int depth = 0;
  header >> magic >> picture.width >> picture.height >> depth;
  const size_t bytes = static_cast<size_t>(picture.width) * picture.height * 3;
  const size_t start = static_cast<size_t>(header.tellg()) + 1;
  if (magic == "P6" && run.pixels.size() >= start + bytes) {
    picture.pixels.assign(run.pixels.begin() + static_cast<std::ptrdiff_t>(start),
                          run.pixels.begin() + static_cast<std::ptrdiff_t>(start + bytes));
  }
  return picture;
}

// The window's download, transferred, gives one image per stored picture,
// burst picture and clip (its first frame), in the camera's order, each the
// picture `ksvcam download` writes; a second Download adds nothing. Save All
// writes the same files into a time-stamped folder; refused, it writes
// nothing.
TEST_F(AcquireCommand, TheStoredItemsAreDownloadedAndSaved) {
  auto run = RunKsvcam({"acquire", "--do", "download", "--do", "download", "--do", "transfer-all", "--do", "exit",
                        "--out", Path("out")});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto download = RunKsvcam({"download", "--first-frames", "--out", Path("dl")});
  ASSERT_EQ(download.status, 0) << download.err;
  std::vector<std::string> shown, saved;  // the download's files: what the window shows, what Save All writes
  std::istringstream lines(download.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(": ");
    if (colon == std::string::npos || !line.ends_with(" bytes") || line.starts_with("download")) continue;
    const std::string name = line.substr(0, colon);
    if (!name.ends_with(".png")) saved.push_back(name);
    if (!name.ends_with(".AVI")) shown.push_back(name);
  }
  ASSERT_GE(shown.size(), 10u) << download.out;
  double lowest = std::numeric_limits<double>::infinity();
  EXPECT_NE(run.out.find("acquired " + std::to_string(shown.size()) + " images\n"), std::string::npos) << run.out;
  for (size_t i = 0; i < shown.size(); ++i) {
    const fs::path from = folder_ / "dl" / shown[i];
    const picture::RgbPicture expected =
        shown[i].ends_with(".png") ? testing::DecodePngFile(testing::ReadBytes(from)) : DjpegPicture(from);
    const picture::RgbPicture image =
        testing::DecodePngFile(testing::ReadBytes(Path("out") + "/Image" + std::to_string(i + 1) + ".png"));
    ASSERT_EQ(image.width, expected.width) << shown[i];
    ASSERT_EQ(image.height, expected.height) << shown[i];
    const double psnr = picture::Psnr(expected, image);
    EXPECT_GE(psnr, 40.0) << shown[i];
    lowest = std::min(lowest, psnr);
  }
  if (std::isinf(lowest)) {
    std::printf("%zu downloaded images against ksvcam download's: all identical\n", shown.size());
  } else {
    std::printf("%zu downloaded images against ksvcam download's: lowest %.1f dB\n", shown.size(), lowest);
  }

  run = RunKsvcam({"acquire", "--do", "save-all:" + Path("all"), "--do", "save-all-no:" + Path("none"), "--do", "exit"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_empty(Path("none"))) << "refused";
  std::vector<fs::path> folders(fs::directory_iterator(Path("all")), fs::directory_iterator());
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_TRUE(std::regex_match(folders[0].filename().string(), std::regex("[0-9]{8}_[0-9]{6}")))
      << folders[0];
  for (const std::string& name : saved) {
    const fs::path file = folders[0] / name;
    ASSERT_TRUE(fs::exists(file)) << name;
    if (name.ends_with(".JPG")) {
      EXPECT_EQ(ksv::testing::RunDjpeg(file).status, 0) << name;
    } else if (testing::HaveFfmpeg()) {
      EXPECT_EQ(testing::Probe(file, "v:0", "codec_type"), "video") << name;
    }
  }
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(folders[0]), fs::directory_iterator())),
            saved.size());
}

// A preview in another process holds the camera: the control is made and
// says the camera is in use.
TEST_F(AcquireCommand, ACameraAnotherProcessStreamsIsInUse) {
  std::vector<std::string> args{KSVCAM_BINARY, "preview", "--seconds", "60"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t preview = 0;
  ASSERT_EQ(posix_spawn(&preview, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (DriverValue("DriverStatus") != 5 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const uint32_t status = DriverValue("DriverStatus");
  const auto run = RunKsvcam({"acquire", "--do", "exit"});
  kill(preview, SIGTERM);
  waitpid(preview, nullptr, 0);
  ASSERT_EQ(status, 5u) << "the preview never streamed";
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Camera is used by another application"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace ksv::ksvcam
