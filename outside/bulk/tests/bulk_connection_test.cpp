#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>

#include "outside/bulk/tests/bulk_test_support.h"
#include "platform/registry/registry_store.h"
#include "outside/bulk/memory/camera_memory.h"
#include "platform/hardware/device_list.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "outside/bulk/memory/recording_mode.h"
#include "simcam/simulated_modes.h"

namespace ksv::outside::bulk {
namespace {

using testing::BulkTest;

constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

std::optional<uint32_t> DriverDword(const char* name) {
  return platform::RegistryStore::OpenMachineHive()->GetDword(kDriverKey, name);
}

class BulkConnection : public BulkTest {};

TEST_F(BulkConnection, OpensTheSimulatedCameraAndKeepsBulkModeWhileConnected) {
  const BULK_HANDLE first = Connect();
  ASSERT_NE(first, 0);
  EXPECT_EQ(BULK_GetErrCode(first), BULK_ERR_NONE);
  EXPECT_EQ(BULK_GetImgCount(first), 10);
  EXPECT_EQ(DriverDword("BulkMode"), 1u);

  const BULK_HANDLE second = Connect();
  ASSERT_NE(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(BULK_Reset(first), 1);
  EXPECT_EQ(DriverDword("BulkMode"), 1u);  // one connection is still open
  EXPECT_EQ(BULK_Reset(second), 1);
  EXPECT_EQ(DriverDword("BulkMode"), 0u);

  EXPECT_EQ(BULK_Reset(second), 0);
  EXPECT_EQ(BULK_GetErrCode(second), BULK_ERR_NO_CONNECTION);
  EXPECT_EQ(BULK_GetImgCount(second), 0);
}

TEST_F(BulkConnection, CountsEachTypeOfItem) {
  const BULK_HANDLE camera = Connect();
  ASSERT_NE(camera, 0);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_HQ_PICTURES), 3);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_LQ_PICTURES), 2);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_CLIPS), 1);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_LORES_CLIPS), 2);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_BURSTS), 1);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NONE);
  EXPECT_EQ(BULK_GetImgCount_2(camera, 17), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BAD_ARGUMENT);
  EXPECT_EQ(BULK_GetImgCount_2(camera, BULK_TYPE_BURSTS), 1);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NONE);  // the last call decides
}

TEST_F(BulkConnection, UnknownHandlesAreRefusedEverywhere) {
  const BULK_HANDLE stranger = 987654;
  uint8_t buffer[1024] = {};
  char text[256] = {};
  EXPECT_EQ(BULK_GetImgCount(stranger), 0);
  EXPECT_EQ(BULK_GetErrCode(stranger), BULK_ERR_NO_CONNECTION);
  EXPECT_EQ(BULK_GetNthSize(stranger, 0), 0);
  EXPECT_EQ(BULK_GetNthDSC(stranger, 0, sizeof buffer, buffer), 0);
  EXPECT_EQ(BULK_GetQtable(stranger, 0, buffer), 0);
  EXPECT_EQ(BULK_GetJPEGHeader(stranger, 0, buffer), 0);
  EXPECT_EQ(BULK_ClearCamera(stranger), 0);
  EXPECT_EQ(BULK_GetFWVer(stranger, text), 0);
  EXPECT_EQ(BULK_WriteDriverRegistryDword(stranger, "SnapShoot", 1), 0);
  EXPECT_EQ(BULK_GetAllImgs(stranger, 0, testing::CaptureDelivery), BULK_STREAM_NO_CONNECTION);
  EXPECT_EQ(BULK_GetErrCode(0), BULK_ERR_NO_CONNECTION);
  const BULK_HANDLE camera = Connect();
  EXPECT_EQ(BULK_GetImgCount(camera), 10);  // nothing was erased
}

TEST_F(BulkConnection, GivesTheCamerasVersionTexts) {
  const BULK_HANDLE camera = Connect();
  char text[256];
  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(BULK_GetFWVer(camera, text), 1);
  EXPECT_STREQ(text, simcam::SimulatedCameraVersions().firmware.c_str());
  ASSERT_EQ(BULK_GetSensorVer(camera, text), 1);
  EXPECT_STREQ(text, simcam::SimulatedCameraVersions().sensor.c_str());
  ASSERT_EQ(BULK_GetAsicVer(camera, text), 1);
  EXPECT_STREQ(text, simcam::SimulatedCameraVersions().chip.c_str());
  EXPECT_EQ(BULK_GetFWVer(camera, nullptr), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BAD_ARGUMENT);
}

TEST_F(BulkConnection, ErasesTheNewestItemOrAllForEveryConnection) {
  const BULK_HANDLE one = Connect();
  const BULK_HANDLE other = Connect();
  ASSERT_EQ(BULK_ClearLastOne(one), 1);
  EXPECT_EQ(BULK_GetImgCount(other), 9);
  EXPECT_EQ(BULK_GetImgCount_2(other, BULK_TYPE_HQ_PICTURES), 2);  // the newest was a picture
  ASSERT_EQ(BULK_ClearCamera(other), 1);
  EXPECT_EQ(BULK_GetImgCount(one), 0);
  EXPECT_EQ(BULK_ClearLastOne(one), 0);
  EXPECT_EQ(BULK_GetErrCode(one), BULK_ERR_NO_SUCH_ITEM);

  BULK_UseCameraMemory(nullptr);  // the camera itself was erased, as a real one is
  EXPECT_EQ(BULK_GetImgCount(Connect()), 0);

  simcam::SimulatedCameraDevice another;  // another camera plugged in instead
  platform::hardware::UnplugDevice(&camera_);
  platform::hardware::PlugDevice(&another);
  BULK_UseCameraMemory(nullptr);
  EXPECT_EQ(BULK_GetImgCount(Connect()), 10);
  EXPECT_EQ(BULK_GetImgCount(one), 0);  // the old connection keeps its camera
  BULK_UseCameraMemory(nullptr);
  platform::hardware::UnplugDevice(&another);
}

TEST_F(BulkConnection, ItemIndexesAndBuffersAreChecked) {
  const BULK_HANDLE camera = Connect();
  EXPECT_EQ(BULK_GetNthSize(camera, -1), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NO_SUCH_ITEM);
  EXPECT_EQ(BULK_GetNthSize(camera, 10), 0);
  const int size = BULK_GetNthSize(camera, 0);
  ASSERT_GT(size, 64);
  std::vector<uint8_t> buffer(static_cast<size_t>(size), 0xAA);
  EXPECT_EQ(BULK_GetNthDSC(camera, 0, size - 1, buffer.data()), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BUFFER_TOO_SMALL);
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xAA; }));
  EXPECT_EQ(BULK_GetNthDSC(camera, 0, size, nullptr), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BAD_ARGUMENT);
  EXPECT_EQ(BULK_GetNthDSC(camera, 0, size, buffer.data()), 1);
  EXPECT_EQ(buffer[15], 3);  // a high-quality picture
}

TEST_F(BulkConnection, GivesTablesAndJpegHeadersOfItsModes) {
  const BULK_HANDLE camera = Connect();
  std::vector<uint8_t> table(128);
  ASSERT_EQ(BULK_GetQtable(camera, simcam::kHighQualityPictureMode, table.data()), 1);
  const codec::QuantPair high = codec::ScaledAnnexKPair(30);
  EXPECT_TRUE(std::equal(high.luminance.begin(), high.luminance.end(), table.begin()));
  EXPECT_TRUE(std::equal(high.chrominance.begin(), high.chrominance.end(), table.begin() + 64));

  std::vector<uint8_t> header(623), header420(623);
  ASSERT_EQ(BULK_GetJPEGHeader(camera, simcam::kLowQualityPictureMode, header.data()), 1);
  ASSERT_EQ(BULK_GetJPEGHeader_420(camera, simcam::kLowQualityPictureMode, header420.data()), 1);
  const auto expected = outside::bulk::StoredPictureHeader(codec::ScaledAnnexKPair(125), 160, 128);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), header.begin()));
  EXPECT_EQ(header420, header);

  EXPECT_EQ(BULK_GetQtable(camera, 99, table.data()), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NO_SUCH_TABLE);
  EXPECT_EQ(BULK_GetJPEGHeader(camera, -1, header.data()), 0);
  EXPECT_EQ(BULK_GetJPEGHeader(camera, 256, header.data()), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NO_SUCH_TABLE);
}

TEST_F(BulkConnection, WritesDriverValuesToTheMachineRegistry) {
  const BULK_HANDLE camera = Connect();
  EXPECT_EQ(BULK_WriteDriverRegistryDword(camera, "SnapShoot", 1), 1);
  EXPECT_EQ(BULK_WriteDriverRegistryString(camera, "WiaRootPath", "/srv/camera"), 1);
  EXPECT_EQ(DriverDword("SnapShoot"), 1u);
  EXPECT_EQ(platform::RegistryStore::OpenMachineHive()->GetString(kDriverKey, "WiaRootPath"),
            "/srv/camera");
  EXPECT_EQ(BULK_WriteDriverRegistryDword(camera, "", 1), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BAD_ARGUMENT);
  EXPECT_EQ(BULK_WriteDriverRegistryString(camera, "Name", nullptr), 0);
}

TEST_F(BulkConnection, ARegistryItCannotWriteFailsTheWriteButNotTheCamera) {
  const auto blocker = root_ / "not-a-folder";
  std::ofstream(blocker) << "x";
  ::setenv("KSV_ROOT", blocker.c_str(), 1);
  const BULK_HANDLE camera = Connect();
  ASSERT_NE(camera, 0);
  EXPECT_EQ(BULK_WriteDriverRegistryDword(camera, "SnapShoot", 1), 0);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_REGISTRY);
  EXPECT_EQ(BULK_GetImgCount(camera), 10);
}

}  // namespace
}  // namespace ksv::outside::bulk
