// KXCAMAPI_GetAllImgs: the whole memory as one stream.
#include <algorithm>

#include "camapi/tests/camapi_test_support.h"
#include "simcam/framing.h"
#include "simcam/memory_builder.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture.h"
#include "testing/small_file_system.h"

namespace ksv::camapi::testing {
namespace {

namespace fs = std::filesystem;

class StreamDownload : public CamapiTest {
 protected:
  int Run(KXCAMAPI_HANDLE context) {
    return KXCAMAPI_GetAllImgs(context, RecordProgress);
  }
};

// The top-left 160 x 120 of a top-down R, G, B picture.
std::vector<uint8_t> TopLeft(const std::vector<uint8_t>& rgb, uint32_t width) {
  std::vector<uint8_t> out;
  for (size_t y = 0; y < 120; ++y) {
    const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(y * width * 3);
    out.insert(out.end(), row, row + 160 * 3);
  }
  return out;
}

TEST_F(StreamDownload, WritesPicturesAndBurstsAndReportsProgress) {
  UsePhotoMemory();
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(Run(context), 0);
  EXPECT_EQ(recorder_.FileNames(),
            (std::vector<std::string>{"Burst0.JPG", "Burst1.JPG", "Burst2.JPG", "Burst3.JPG",
                                      "Burst4.JPG", "Clip0.AVI", "HQ0.JPG", "HQ1.JPG", "WQ0.JPG"}));
  for (const ItemEvent& end : recorder_.Ends()) EXPECT_EQ(end.status, 0u) << end.path;

  // The stuffed form decodes to the same picture as the camera's own file.
  KXCAMAPI_HANDLE perItem = Open();
  recorder_.folder = root_ / "per-item";
  fs::create_directories(recorder_.folder);
  std::fill(std::begin(recorder_.counters), std::end(recorder_.counters), 0u);
  ASSERT_EQ(KXCAMAPI_Download(perItem), 0);
  uint32_t width = 0, height = 0, w2 = 0, h2 = 0;
  for (const char* name : {"HQ0.JPG", "HQ1.JPG"}) {
    const auto streamed = DecodeJpegFile(outFolder_ / name, width, height);
    const auto fetched = DecodeJpegFile(recorder_.folder / name, w2, h2);
    EXPECT_EQ(width, 640u);
    EXPECT_FALSE(streamed.empty());
    EXPECT_EQ(streamed, fetched) << name;
  }
  for (int i = 0; i < 5; ++i) {
    const std::string name = "Burst" + std::to_string(i) + ".JPG";
    EXPECT_EQ(ReadFile(outFolder_ / name), ReadFile(recorder_.folder / name)) << name;
  }

  // The low-quality picture keeps its top-left 160 x 120.
  const auto cropped = DecodeJpegFile(outFolder_ / "WQ0.JPG", width, height);
  EXPECT_EQ(width, 160u);
  EXPECT_EQ(height, 120u);
  EXPECT_GT(Psnr(cropped, TopLeft(simcam::FitToSize(Photo("coffee"), 160, 128).pixels, 160)), 24.0);

  // Progress: the counts, then every 64-byte step within 0..100.
  ASSERT_FALSE(recorder_.progress.empty());
  const KXCAMAPI_ProgressRecord& first = recorder_.progress.front();
  EXPECT_EQ(first.storedHqPictures, 2u);
  EXPECT_EQ(first.storedLqPictures, 1u);
  EXPECT_EQ(first.storedClips, 1u);
  EXPECT_EQ(first.storedLoResClips, 0u);
  EXPECT_EQ(first.itemReceived, 64u);
  DWORD completed = 0, received = 0;
  uint64_t bytes = 0;
  for (const KXCAMAPI_ProgressRecord& record : recorder_.progress) {
    ASSERT_LE(record.overallPercent, 100u);
    ASSERT_LE(record.itemPercent, 100u);
    ASSERT_GE(record.itemsCompleted, completed);
    ASSERT_EQ(record.itemReceived % 64, 0u);
    // While the clip converts, its progress is told again with its frames.
    const bool step = bytes == 0 || record.itemsCompleted != completed || record.itemReceived != received;
    completed = record.itemsCompleted;
    received = record.itemReceived;
    if (step) bytes += 64;
  }
  const KXCAMAPI_ProgressRecord& last = recorder_.progress.back();
  EXPECT_EQ(last.itemsCompleted, 6u);
  EXPECT_EQ(last.overallPercent, 100u);
  EXPECT_EQ(last.itemPercent, 100u);
  EXPECT_EQ(last.itemReceived, last.itemSize);
  EXPECT_EQ(bytes, outside::bulk::StreamSize(outside::bulk::LoadMemoryImage(PhotoMemoryImage())));
}

TEST_F(StreamDownload, NothingStoredMeansNoStream) {
  outside::bulk::CameraMemory memory = EmptyMemory();
  memory.items = {simcam::MakeRecordingItem(std::vector<uint8_t>{1, 2, 3}, 0)};
  UseMemory(memory);
  KXCAMAPI_HANDLE context = Open();
  EXPECT_EQ(Run(context), 0);
  EXPECT_TRUE(recorder_.progress.empty());
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(StreamDownload, ProgressOrBeginCanStopIt) {
  UsePhotoMemory();
  KXCAMAPI_HANDLE context = Open();
  recorder_.stopProgress = [](const KXCAMAPI_ProgressRecord& record) {
    return record.itemsCompleted == 1;  // stops before the first item's action
  };
  EXPECT_EQ(Run(context), 9);
  EXPECT_TRUE(recorder_.FileNames().empty());

  recorder_ = Recorder();
  recorder_.folder = outFolder_;
  recorder_.cancelAtBegin = [](size_t index, int) { return index == 1; };
  EXPECT_EQ(Run(context), 9);
  EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"HQ0.JPG"}));
}

TEST_F(StreamDownload, ADownloadStoppedMidItemLeavesTheNextOneClean) {
  UsePhotoMemory();
  KXCAMAPI_HANDLE context = Open();
  // Stop half-way through the second item.
  recorder_.stopProgress = [](const KXCAMAPI_ProgressRecord& record) {
    return record.itemsCompleted == 1 && record.itemPercent >= 50 && record.itemPercent < 100;
  };
  EXPECT_EQ(Run(context), 9);
  EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"HQ0.JPG"}));
  const std::vector<uint8_t> firstPicture = ReadFile(outFolder_ / "HQ0.JPG");

  fs::remove_all(outFolder_);
  fs::create_directories(outFolder_);
  recorder_ = Recorder();
  recorder_.folder = outFolder_;
  ASSERT_EQ(Run(context), 0);
  EXPECT_EQ(recorder_.FileNames().size(), 9u);  // the clip too
  EXPECT_EQ(ReadFile(outFolder_ / "HQ0.JPG"), firstPicture);
  EXPECT_EQ(recorder_.progress.back().itemsCompleted, 6u);
}

TEST_F(StreamDownload, AFailedPictureIsReportedAndTheStreamGoesOn) {
  UsePhotoMemory();
  recorder_.pathFor = [&](size_t index, const std::string& named) {
    if (index == 0) return std::string("/dev/full");
    if (index == 1) return (outFolder_ / "missing" / "WQ0.JPG").string();
    return named;
  };
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(Run(context), 0);
  const auto ends = recorder_.Ends();
  ASSERT_GE(ends.size(), 3u);
  EXPECT_EQ(ends[0].status, KXCAMAPI_DISK_FULL);
  EXPECT_EQ(ends[1].status, KXCAMAPI_WRITE_FAILED);
  EXPECT_EQ(ends[2].status, 0u);
  EXPECT_TRUE(fs::exists(outFolder_ / "HQ1.JPG"));
}

TEST_F(StreamDownload, ASmallLowQualityPictureKeepsItsFirstForm) {
  outside::bulk::CameraMemory memory = EmptyMemory();
  outside::bulk::RecordingMode tiny = *memory.FindMode(simcam::kLowQualityPictureMode);
  tiny.tableIndex = 9;
  tiny.width = 96;
  tiny.height = 64;
  memory.modes.push_back(tiny);
  memory.items = {simcam::MakePictureItem(Photo("coffee"), tiny, outside::bulk::kLowQualitySubtype)};
  UseMemory(memory);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(Run(context), 0);
  uint32_t width = 0, height = 0;
  const auto picture = DecodeJpegFile(outFolder_ / "WQ0.JPG", width, height);
  EXPECT_EQ(width, 96u);
  EXPECT_EQ(height, 64u);
  EXPECT_GT(Psnr(picture, simcam::FitToSize(Photo("coffee"), 96, 64).pixels), 24.0);
}

// A low-quality picture whose first form fits on the disk but whose cut
// to 160 x 120 does not is a failed picture, not one reported written.
TEST_F(StreamDownload, ALowQualityPictureWhoseCutCannotBeSavedFails) {
  ksv::testing::SmallFileSystem small(256 * 1024);
  if (!small.ok()) GTEST_SKIP() << small.why();
  outside::bulk::CameraMemory memory = EmptyMemory();
  memory.items = {simcam::MakePictureItem(Photo("coffee"),
                                          *memory.FindMode(simcam::kLowQualityPictureMode),
                                          outside::bulk::kLowQualitySubtype)};
  const std::span<const uint8_t> scan = memory.items[0].Content();
  const size_t stuffed = scan.size() + size_t(std::count(scan.begin(), scan.end(), 0xFF));
  const size_t firstForm = 623 + stuffed + 2;
  UseMemory(memory);
  recorder_.pathFor = [&](size_t, const std::string&) {
    small.FillLeaving((firstForm + 4095) / 4096 * 4096);  // the first form's pages and no more
    return (small.path() / "WQ0.JPG").string();
  };
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(Run(context), 0);
  const auto ends = recorder_.Ends();
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].status, KXCAMAPI_DISK_FULL);
}

TEST_F(StreamDownload, TheSimulatedCamerasMemory) {
  UseDefaultMemory();
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(Run(context), 0);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_HQ_PICTURE], 3u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_LQ_PICTURE], 2u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_BURST_PICTURE], 5u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_STREAM_CLIP] +
                recorder_.counters[KXCAMAPI_KIND_STREAM_LORES_CLIP],
            2u);  // the two clips with sound
  for (const std::string& name : recorder_.FileNames()) {
    if (!name.ends_with(".JPG")) continue;
    uint32_t width = 0, height = 0;
    EXPECT_FALSE(DecodeJpegFile(outFolder_ / name, width, height).empty()) << name;
  }
  for (const ItemEvent& end : recorder_.Ends()) EXPECT_EQ(end.status, 0u) << end.path;
  EXPECT_EQ(recorder_.progress.back().overallPercent, 100u);
}

}  // namespace
}  // namespace ksv::camapi::testing
