// What the bulk library's tests share: a fresh system root and camera per
// test, memory images on disk, and the whole stream as one buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "include/oksv1dnl.h"
#include "outside/bulk/memory/camera_memory.h"
#include "simcam/simulated_camera.h"
#include "support/picture/psnr.h"

namespace ksv::outside::bulk::testing {

// Each test runs with KSV_ROOT set to a new folder and a new simulated camera
// plugged in, and closes what it opened.
class BulkTest : public ::testing::Test {
 protected:
  BulkTest();
  ~BulkTest() override;

  // A connection closed at the end of the test.
  BULK_HANDLE Connect();
  // Writes `image` as a file in the test's folder and chooses it.
  std::filesystem::path UseImage(const std::vector<uint8_t>& image,
                                 const std::string& name = "camera.mem");

  std::filesystem::path root_;
  simcam::SimulatedCameraDevice camera_;

 private:
  std::vector<BULK_HANDLE> handles_;
};

// Every delivery of BULK_GetAllImgs, checked against the protocol as it
// arrives (multiples of 64 bytes, one stream size throughout).
struct StreamCapture {
  std::vector<uint8_t> bytes;
  std::vector<size_t> deliveries;
  DWORD streamSize = 0;
  size_t stopAfter = SIZE_MAX;  // answer 1 after this many deliveries
};
int CaptureDelivery(intptr_t context, DWORD streamSize, const BYTE* bytes, DWORD length);

// A stream cut at its 64-byte item headers.
struct StreamItem {
  outside::bulk::StoredItemHeader header;
  std::vector<uint8_t> data;
};
std::vector<StreamItem> SplitStream(const std::vector<uint8_t>& stream);

// A small memory: two pictures of test photographs (high and low quality),
// a 320 x 240 clip with ADPCM sound, a burst and a recording.
outside::bulk::CameraMemory PhotoMemory();

// The test photograph `stem` fitted to width x height, R, G, B top-down.
std::vector<uint8_t> FittedPhoto(const std::string& stem, uint32_t width, uint32_t height);

using ::ksv::picture::Psnr;

}  // namespace ksv::outside::bulk::testing
