// KXCAMAPI_Download: the items fetched one at a time.
#include <array>
#include <fstream>

#include "camapi/tests/camapi_test_support.h"
#include "common/bitmap_resample.h"
#include "include/oksv1dnl.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"
#include "simcam/framing.h"
#include "simcam/memory_builder.h"
#include "support/byte_order.h"
#include "support/picture/picture.h"

namespace ksv::camapi::testing {
namespace {

namespace fs = std::filesystem;

// The camera's own JPEG file of a picture: its header and per-item data.
std::vector<uint8_t> CameraJpeg(int index) {
  const BULK_HANDLE handle = BULK_Init();
  std::vector<uint8_t> item(static_cast<size_t>(BULK_GetNthSize(handle, index)));
  BULK_GetNthDSC(handle, index, static_cast<int>(item.size()), item.data());
  std::vector<uint8_t> file(BULK_JPEG_HEADER_BYTES);
  BULK_GetJPEGHeader(handle, item[8], file.data());
  BULK_Reset(handle);
  const size_t dataSize = support::LoadLe24(item, 3);
  const size_t start = 64 + size_t{support::LoadLe16(item, 13)};
  file.insert(file.end(), item.begin() + static_cast<std::ptrdiff_t>(start),
              item.begin() + static_cast<std::ptrdiff_t>(start + dataSize));
  return file;
}

class ItemDownload : public CamapiTest {};

TEST_F(ItemDownload, WritesEveryPictureBurstAndRecording) {
  UsePhotoMemory();
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(KXCAMAPI_Download(context), 0);
  EXPECT_EQ(recorder_.FileNames(),
            (std::vector<std::string>{"Burst0.JPG", "Burst1.JPG", "Burst2.JPG", "Burst3.JPG",
                                      "Burst4.JPG", "Clip0.AVI", "HQ0.JPG", "HQ1.JPG", "Raw0.WAV",
                                      "WQ0.JPG"}));
  for (const ItemEvent& end : recorder_.Ends()) EXPECT_EQ(end.status, 0u) << end.path;

  // High-quality pictures are the camera's JPEG files as they are.
  EXPECT_EQ(ReadFile(outFolder_ / "HQ0.JPG"), CameraJpeg(0));
  uint32_t width = 0, height = 0;
  const auto chelsea = DecodeJpegFile(outFolder_ / "HQ0.JPG", width, height);
  EXPECT_EQ(width, 640u);
  EXPECT_GT(Psnr(chelsea, simcam::FitToSize(Photo("chelsea"), 640, 480).pixels), 28.0);
  const auto astronaut = DecodeJpegFile(outFolder_ / "HQ1.JPG", width, height);
  EXPECT_GT(Psnr(astronaut, simcam::FitToSize(Photo("astronaut"), 640, 480).pixels), 28.0);

  // The low-quality picture is saved again at 320 x 240.
  const auto coffee = DecodeJpegFile(outFolder_ / "WQ0.JPG", width, height);
  EXPECT_EQ(width, 320u);
  EXPECT_EQ(height, 240u);
  // Against the camera's own 160 x 128 picture resampled the same way: only
  // the second JPEG compression differs.
  const fs::path original = root_ / "camera-lq.jpg";
  const std::vector<uint8_t> cameraFile = CameraJpeg(1);
  std::ofstream(original, std::ios::binary)
      .write(reinterpret_cast<const char*>(cameraFile.data()), static_cast<std::streamsize>(cameraFile.size()));
  HGLOBAL decoded = JPEG_2Dib(original.c_str());
  ASSERT_NE(decoded, nullptr);
  HGLOBAL resampled = common::ResamplePackedBitmap(decoded, 320, 240);
  ASSERT_NE(resampled, nullptr);
  EXPECT_GT(Psnr(coffee, BitmapToRgb(resampled)), 32.0);
  GlobalFree(resampled);
  GlobalFree(decoded);

  // Each burst picture is its frame, decoded at 320 x 240.
  const std::array<const char*, 5> scenes = {"astronaut", "chelsea", "coffee", "hubble_deep_field",
                                             "astronaut"};
  for (size_t i = 0; i < scenes.size(); ++i) {
    const auto picture =
        DecodeJpegFile(outFolder_ / ("Burst" + std::to_string(i) + ".JPG"), width, height);
    ASSERT_EQ(width, 320u) << i;
    ASSERT_EQ(height, 240u) << i;
    EXPECT_GT(Psnr(picture, simcam::FitToSize(Photo(scenes[i]), 320, 240).pixels), 24.0) << scenes[i];
  }

  // The recording comes back as the file it was made from.
  EXPECT_EQ(ReadFile(outFolder_ / "Raw0.WAV"), (std::vector<uint8_t>{0x40, 0x20, 0x7E, 0xFF}));
}

TEST_F(ItemDownload, RawBytesAreRotatedRightByTwoBits) {
  outside::bulk::CameraMemory memory = EmptyMemory();
  memory.items = {simcam::MakeRecordingItem(std::vector<uint8_t>{0x40, 0x20}, 0)};
  // Stored as 0x01 and 0x80.
  ASSERT_EQ(memory.items[0].data[0], 0x01);
  ASSERT_EQ(memory.items[0].data[1], 0x80);
  UseMemory(memory);
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(KXCAMAPI_Download(context), 0);
  EXPECT_EQ(ReadFile(outFolder_ / "Raw0.WAV"), (std::vector<uint8_t>{0x40, 0x20}));
}

TEST_F(ItemDownload, ACancelAtTheThirdItemWritesNoThirdFile) {
  UsePhotoMemory();
  recorder_.cancelAtBegin = [](size_t index, int) { return index == 2; };
  KXCAMAPI_HANDLE context = Open();
  EXPECT_EQ(KXCAMAPI_Download(context), 9);
  // The third call is the burst's first picture.
  EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"HQ0.JPG", "WQ0.JPG"}));
  // The flag stays set: the next download stops at its first check.
  EXPECT_EQ(KXCAMAPI_Download(context), 9);
  EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"HQ0.JPG", "WQ0.JPG"}));
}

TEST_F(ItemDownload, AFileThatCannotBeWrittenEndsTheDownload) {
  UsePhotoMemory();
  recorder_.pathFor = [&](size_t index, const std::string& named) {
    return index == 1 ? (outFolder_ / "missing" / "WQ0.JPG").string() : named;
  };
  KXCAMAPI_HANDLE context = Open();
  EXPECT_EQ(KXCAMAPI_Download(context), 10);
  const auto ends = recorder_.Ends();
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[1].status, KXCAMAPI_WRITE_FAILED);
  EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"HQ0.JPG"}));
}

TEST_F(ItemDownload, AFullDiskIsNamedAsSuch) {
  UsePhotoMemory();
  recorder_.pathFor = [](size_t index, const std::string& named) {
    return index == 0 ? std::string("/dev/full") : named;
  };
  KXCAMAPI_HANDLE context = Open();
  EXPECT_EQ(KXCAMAPI_Download(context), 10);
  ASSERT_FALSE(recorder_.Ends().empty());
  EXPECT_EQ(recorder_.Ends()[0].status, KXCAMAPI_DISK_FULL);
  EXPECT_TRUE(fs::exists("/dev/full"));  // a device is never removed
}

TEST_F(ItemDownload, TheSimulatedCamerasMemory) {
  UseDefaultMemory();
  KXCAMAPI_HANDLE context = Open();
  ASSERT_EQ(KXCAMAPI_Download(context), 0);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_HQ_PICTURE], 3u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_LQ_PICTURE], 2u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_BURST_PICTURE], 5u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_CLIP], 3u);
  EXPECT_EQ(recorder_.counters[KXCAMAPI_KIND_RAW], 1u);
  for (const std::string& name : recorder_.FileNames()) {
    if (name.ends_with(".JPG")) {
      uint32_t width = 0, height = 0;
      EXPECT_FALSE(DecodeJpegFile(outFolder_ / name, width, height).empty()) << name;
    }
  }
}

}  // namespace
}  // namespace ksv::camapi::testing
