// `ksvcam controls` and `capture --set` through the driver on the simulated
// camera: values kept in the registry from one run to the next, refusals,
// and a picture that shows the change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>

#include "apps/ksvcam/tests/test_support.h"
#include "platform/vfw/video_source.h"
#include "platform/ui/user32.h"
#include "support/picture/png_file.h"

namespace ksv::ksvcam {
namespace {

using testing::RunKsvcam;

class ControlsCommand : public ::testing::Test {
 protected:
  ControlsCommand() { ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1); }
  ~ControlsCommand() override { ::unsetenv("KSV_ROOT"); }

  // The mean of the first frame's luminance and of its V plane.
  std::pair<double, double> CaptureMeans(std::vector<std::string> extra) {
    std::vector<std::string> args = {"capture", "-n", "1", "-o", (folder_ / "c.y4m").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto run = RunKsvcam(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> file = testing::ReadBytes(folder_ / "c.y4m");
    const std::string text(file.begin(), file.end());
    const size_t frame = text.find("FRAME\n") + 6;
    const size_t luma = 320 * 240;
    const auto mean = [&](size_t from, size_t count) {
      return std::accumulate(file.begin() + static_cast<std::ptrdiff_t>(from),
                             file.begin() + static_cast<std::ptrdiff_t>(from + count), 0.0) /
             static_cast<double>(count);
    };
    return {mean(frame, luma), mean(frame + luma + luma / 4, luma / 4)};
  }

  testing::TempFolder folder_;
};

TEST_F(ControlsCommand, ListShowsTheDeclaredRangesDefaultsAndValues) {
  const auto run = RunKsvcam({"controls", "list"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("brightness     0..255      1     128    128  -"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("hue            0..719      1       0      0  -"), std::string::npos);
  EXPECT_NE(run.out.find("white-balance  0..20       1      10     10  auto"), std::string::npos);
  EXPECT_NE(run.out.find("exposure       0..1        1       0      0  auto"), std::string::npos);
}

TEST_F(ControlsCommand, SettingsHoldForTheNextRun) {
  ASSERT_EQ(RunKsvcam({"controls", "set", "brightness", "160"}).status, 0);
  ASSERT_EQ(RunKsvcam({"controls", "set", "white_balance", "4"}).status, 0);
  EXPECT_EQ(RunKsvcam({"controls", "get", "brightness"}).out, "brightness 160\n");
  EXPECT_EQ(RunKsvcam({"controls", "get", "white-balance"}).out, "white-balance 4 manual\n");
  ASSERT_EQ(RunKsvcam({"controls", "set", "white-balance", "4", "--auto"}).status, 0);
  EXPECT_EQ(RunKsvcam({"controls", "get", "white-balance"}).out, "white-balance 4 auto\n");
  EXPECT_EQ(RunKsvcam({"registry", "get", "Brightness"}).out, "160\n");
}

TEST_F(ControlsCommand, RefusesWhatTheControlCannotTake) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } refused[] = {
      {{"controls", "set", "brightness", "256"}, "brightness takes 0..255, not 256"},
      {{"controls", "set", "saturation", "-1"}, "saturation takes 0..63"},
      {{"controls", "set", "hue", "12x"}, "'12x' is not a whole number"},
      {{"controls", "set", "zoom", "1"}, "no control 'zoom'"},
      {{"controls", "set", "gamma", "3", "--auto"}, "gamma has no automatic mode"},
      {{"capture", "-n", "1", "--set", "brightness"}, "--set takes NAME=VALUE"},
  };
  for (const auto& r : refused) {
    const auto run = RunKsvcam(r.args);
    EXPECT_EQ(run.status, 2) << r.message;
    EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(RunKsvcam({"controls", "set", "exposure", "1", "--auto", "--manual"}).status, 2);
  EXPECT_EQ(RunKsvcam({"controls", "get", "brightness"}).out, "brightness 128\n")
      << "nothing changed";
}

TEST_F(ControlsCommand, CaptureSetShowsInThePicture) {
  const auto [baseLuma, baseV] = CaptureMeans({});
  const auto [brightLuma, brightV] = CaptureMeans({"--set", "brightness=200"});
  EXPECT_GT(brightLuma, baseLuma + 40);
  EXPECT_EQ(RunKsvcam({"controls", "get", "brightness"}).out, "brightness 200\n");
  const auto [warmLuma, warmV] =
      CaptureMeans({"--set", "brightness=128", "--set", "white-balance=20"});
  EXPECT_GT(warmV, baseV + 5) << "redder";
  EXPECT_NEAR(warmLuma, baseLuma, 15);
}

// The settings pages opened headless on the streaming camera: each page's
// picture, the rows the driver does not declare labelled in grey, and the
// Cancel that closes them leaves the controls as they were.
TEST_F(ControlsCommand, SettingsScreenshotsShowEachPageAndCancelChangesNothing) {
  // The machine's camera and its driver, as `setup` lists them.
  ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
  struct ModulesGone {
    ~ModulesGone() { ::unsetenv("KSV_MODULE_DIR"); }
  } modulesGone;
  ASSERT_EQ(RunKsvcam({"controls", "set", "brightness", "150"}).status, 0);
  const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  // Grey pixels in the labels' column (left of the sliders) of the fourth
  // row: Saturation on the first page, Zoom on the second.
  const auto greyInFourthLabel = [&](const std::string& file) {
    const picture::RgbPicture shot = picture::DecodePng(testing::ReadBytes(file), file);
    int count = 0;
    for (uint32_t y = 160; y < 180 && y < shot.height; ++y) {
      for (uint32_t x = 20; x < 90 && x < shot.width; ++x) {
        const uint8_t* p = &shot.pixels[(y * shot.width + x) * 3];
        count += RGB(p[0], p[1], p[2]) == grey;
      }
    }
    return count;
  };
  const std::string devicePage = (folder_ / "device.png").string();
  const std::string cameraPage = (folder_ / "camera.png").string();
  auto run = RunKsvcam({"settings", "--screenshot", devicePage});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "screenshot " + devicePage + ": page 0 (Device Settings)\n");
  run = RunKsvcam({"settings", "--host", "twain", "--screenshot", cameraPage, "--page", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(greyInFourthLabel(devicePage), 0) << "Saturation, which the driver declares";
  EXPECT_GT(greyInFourthLabel(cameraPage), 20) << "Zoom, which it does not";
  // The video-capture mapper's sheet: its own Video Format page, then the three.
  run = RunKsvcam({"settings", "--host", "video", "--screenshot", cameraPage, "--page", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "screenshot " + cameraPage + ": page 2 (Camera Controls)\n");
  EXPECT_GT(greyInFourthLabel(cameraPage), 20) << "Zoom";
  EXPECT_EQ(RunKsvcam({"controls", "get", "brightness"}).out, "brightness 150\n");
  // The extension hides the mapper's control pages: four pages in all.
  EXPECT_EQ(RunKsvcam({"settings", "--host", "video", "--screenshot", cameraPage, "--page", "4"}).status, 2);
  // An extension that does not load hides nothing: the mapper's own pages,
  // its Camera Control page third.
  platform::vfw::RegisterExtension(folder_ / "missing.so");
  run = RunKsvcam({"settings", "--host", "video", "--screenshot", cameraPage, "--page", "2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "screenshot " + cameraPage + ": page 2 (Camera Control)\n");
  EXPECT_NE(run.err.find("added no pages"), std::string::npos) << run.err;

  EXPECT_EQ(RunKsvcam({"settings", "--screenshot", cameraPage, "--page", "3"}).status, 2);
  EXPECT_EQ(RunKsvcam({"settings"}).status, 2) << "no display and no --screenshot: never a wait";
}

}  // namespace
}  // namespace ksv::ksvcam
