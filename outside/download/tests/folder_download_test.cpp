// The folder download on a small memory image: what the listener hears, the
// files' names by kind, and files of an earlier download kept.
#include "outside/download/folder_download.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "include/oksv1dnl.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture_file.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/temp_files.h"

namespace ksv::outside::download {
namespace {

struct Recorder final : DownloadListener {
  void Written(const std::string& name, uintmax_t bytes) override {
    events.push_back(name + " " + (bytes > 0 ? "written" : "empty"));
  }
  void Failed(const std::string& line) override { events.push_back("failed " + line); }
  void Progress(unsigned, unsigned overall, unsigned, const std::string&) override {
    EXPECT_GE(overall, lastOverall);
    lastOverall = overall;
  }
  std::vector<std::string> events;
  unsigned lastOverall = 0;
};

class FolderDownload : public ::testing::Test {
 protected:
  FolderDownload() {
    EXPECT_TRUE(plugins_.ok()) << plugins_.error();
    using namespace simcam;
    using namespace bulk;
    CameraMemory memory{{"fw", "sensor", "chip"}, SimulatedCameraModes(), {}};
    const picture::RgbPicture photo =
        picture::ReadPicture(KSV_TESTDATA_DIR "/photos/coffee.png");
    memory.items.push_back(MakePictureItem(photo, *memory.FindMode(kHighQualityPictureMode),
                                           kHighQualitySubtype));
    const std::vector<picture::RgbPicture> frames(2, photo);
    memory.items.push_back(MakeClipItem(frames, *memory.FindMode(kClipMode), kClipSubtype,
                                        ClipSound::kAdpcm8000, MonoAudio{8000, {}}));
    const std::vector<uint8_t> image = WriteMemoryImage(memory);
    ksv::testing::WriteFile(folder_ / "camera.mem", image);
    BULK_UseCameraMemory((folder_ / "camera.mem").c_str());
  }
  ~FolderDownload() override {
    BULK_UseCameraMemory(nullptr);
  }

  // KSV_ROOT, with the plug-ins a clip is converted with.
  media::testing::PluginRoot plugins_{{"Dextro.so", "ksvvexel5.so", "trsmplrt.so", "ksvavimux.so",
                                       "ksvfilewriter.so", "ksvavimaker.so", "ksvavico.so",
                                       "ksvcolour.so", "ksvacm.so", "ksvcapture.so"}};
  ksv::testing::TempFolder folder_;
};

TEST_F(FolderDownload, NamesTheFilesByKindAndTellsTheListener) {
  for (const bool perItem : {false, true}) {
    Recorder recorder;
    DownloadRequest request{folder_ / (perItem ? "items" : "stream"), perItem, false, false};
    request.firstFrames = true;
    const DownloadSummary summary = DownloadCamera(request, recorder);
    EXPECT_TRUE(summary.ok()) << (summary.failures.empty() ? "" : summary.failures.front());
    EXPECT_EQ(summary.files, 3u);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"HQ0.JPG written", "Clip0.AVI written",
                                                         "Clip0.png written"}))
        << "per item: " << perItem;
    const picture::RgbPicture first = picture::ReadPicture(request.outDir / "Clip0.png");
    EXPECT_EQ(first.width, 320u);
    EXPECT_EQ(first.height, 240u);
  }
  // In KSV mode the streamed clip has no first frame to give.
  Recorder recorder;
  DownloadRequest request{folder_ / "ksv", false, false, false, true, true};
  const DownloadSummary summary = DownloadCamera(request, recorder);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{
                                 "HQ0.JPG written", "Clip0.AVI written",
                                 "failed Clip0.png: the library has no first frame in KSV mode"}));
}

TEST_F(FolderDownload, KeepsTheFilesOfAnEarlierDownloadUnlessToldToReplaceThem) {
  Recorder recorder;
  DownloadRequest request{folder_ / "out", false, true, false};
  ASSERT_TRUE(DownloadCamera(request, recorder).ok());
  EXPECT_EQ(recorder.events.front(), "HQ0.BMP written");
  Recorder again;
  EXPECT_THROW(DownloadCamera(request, again), DownloadError);
  EXPECT_TRUE(again.events.empty()) << "refused before anything was written";
  request.overwrite = true;
  Recorder replacing;
  EXPECT_TRUE(DownloadCamera(request, replacing).ok());
}

}  // namespace
}  // namespace ksv::outside::download
