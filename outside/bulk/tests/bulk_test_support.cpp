#include "outside/bulk/tests/bulk_test_support.h"

#include <stdlib.h>

#include <cmath>
#include <fstream>

#include "platform/hardware/device_list.h"
#include "simcam/framing.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture.h"
#include "support/picture/picture_file.h"
#include "support/test_data.h"

namespace ksv::outside::bulk::testing {

namespace fs = std::filesystem;

BulkTest::BulkTest() {
  std::string pattern = (fs::path(::testing::TempDir()) / "oksv1dnl-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  ::setenv("KSV_ROOT", root_.c_str(), 1);
  ::unsetenv("KSV_CAMERA_MEMORY");
  BULK_UseCameraMemory(nullptr);
  platform::hardware::PlugDevice(&camera_);
}

BulkTest::~BulkTest() {
  for (BULK_HANDLE handle : handles_) BULK_Reset(handle);
  BULK_UseCameraMemory(nullptr);  // drops the connection's hold on the camera
  platform::hardware::UnplugDevice(&camera_);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

BULK_HANDLE BulkTest::Connect() {
  const BULK_HANDLE handle = BULK_Init();
  if (handle != 0) handles_.push_back(handle);
  return handle;
}

fs::path BulkTest::UseImage(const std::vector<uint8_t>& image, const std::string& name) {
  const fs::path path = root_ / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  BULK_UseCameraMemory(path.c_str());
  return path;
}

int CaptureDelivery(intptr_t context, DWORD streamSize, const BYTE* bytes, DWORD length) {
  auto& capture = *reinterpret_cast<StreamCapture*>(context);
  if (capture.deliveries.empty()) capture.streamSize = streamSize;
  EXPECT_EQ(streamSize, capture.streamSize) << "the stream size changed";
  EXPECT_EQ(length % 64, 0u) << "delivery " << capture.deliveries.size();
  EXPECT_GT(length, 0u);
  capture.bytes.insert(capture.bytes.end(), bytes, bytes + length);
  capture.deliveries.push_back(length);
  return capture.deliveries.size() >= capture.stopAfter ? 1 : 0;
}

std::vector<StreamItem> SplitStream(const std::vector<uint8_t>& stream) {
  std::vector<StreamItem> items;
  size_t at = 0;
  while (at + 64 <= stream.size()) {
    StreamItem item;
    item.header = outside::bulk::DecodeItemHeader(std::span(stream).subspan(at).first<64>());
    at += 64;
    if (item.header.dataSize > stream.size() - at) {
      ADD_FAILURE() << "item " << items.size() << " runs past the stream";
      break;
    }
    item.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(at),
                     stream.begin() + static_cast<std::ptrdiff_t>(at + item.header.dataSize));
    at += item.header.dataSize;
    items.push_back(std::move(item));
  }
  EXPECT_EQ(at, stream.size());
  return items;
}

std::vector<uint8_t> FittedPhoto(const std::string& stem, uint32_t width, uint32_t height) {
  const picture::RgbPicture photo =
      picture::ReadPicture(support::TestDataPath("photos/" + stem + ".png"));
  return simcam::FitToSize(photo, width, height).pixels;
}

outside::bulk::CameraMemory PhotoMemory() {
  using namespace simcam;
  using namespace outside::bulk;
  CameraMemory memory{{"fw", "sensor", "chip"}, SimulatedCameraModes(), {}};
  auto mode = [&](uint8_t index) -> const RecordingMode& { return *memory.FindMode(index); };
  auto photo = [](const std::string& stem) {
    return picture::ReadPicture(support::TestDataPath("photos/" + stem + ".png"));
  };
  memory.items.push_back(
      MakePictureItem(photo("chelsea"), mode(kHighQualityPictureMode), kHighQualitySubtype));
  memory.items.push_back(
      MakePictureItem(photo("coffee"), mode(kLowQualityPictureMode), kLowQualitySubtype));
  const std::vector<picture::RgbPicture> frames(12, photo("astronaut"));
  MonoAudio hum{8000, std::vector<int16_t>(9600)};
  for (size_t i = 0; i < hum.samples.size(); ++i) {
    hum.samples[i] = static_cast<int16_t>(6000 * std::sin(static_cast<double>(i) * 0.2));
  }
  memory.items.push_back(
      MakeClipItem(frames, mode(kClipMode), kClipSubtype, ClipSound::kAdpcm8000, hum));
  memory.items.push_back(MakeBurstItem(std::span(frames).first(5), mode(kClipMode)));
  memory.items.push_back(MakeRecordingItem(std::vector<uint8_t>{0x40, 0x20, 0x99}, 0));
  return memory;
}

}  // namespace ksv::outside::bulk::testing
