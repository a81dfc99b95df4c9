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
#include "testing/temp_files.h"

namespace ksv::outside::download {
namespace {

struct Recorder final : DownloadListener {
  void Written(const std::string& name, uintmax_t bytes) override {
    events.push_back(name + " " + (bytes > 0 ? "written" : "empty"));
  }
  void NotConverted(const std::string& name) override { events.push_back(name + " skipped"); }
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
    ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1);
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
    ::unsetenv("KSV_ROOT");
  }

  ksv::testing::TempFolder folder_;
};

TEST_F(FolderDownload, NamesTheFilesByKindAndTellsTheListener) {
  for (const bool perItem : {false, true}) {
    Recorder recorder;
    const DownloadRequest request{folder_ / (perItem ? "items" : "stream"), perItem, false, false};
    const DownloadSummary summary = DownloadCamera(request, recorder);
    EXPECT_TRUE(summary.ok());
    EXPECT_EQ(summary.files, 1u);
    EXPECT_EQ(summary.clipsNotConverted, 1u);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"HQ0.JPG written", "Clip0.AVI skipped"}))
        << "per item: " << perItem;
    EXPECT_TRUE(std::filesystem::exists(request.outDir / "HQ0.JPG"));
  }
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
