#include <gtest/gtest.h>

#include "outside/bulk/tests/bulk_test_support.h"

namespace ksv::outside::bulk {
namespace {

using testing::CaptureDelivery;
using testing::StreamCapture;

class BulkStream : public testing::BulkTest {};

TEST_F(BulkStream, DeliversEveryItemInMultiplesOf64Bytes) {
  const BULK_HANDLE camera = Connect();
  StreamCapture capture;
  ASSERT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&capture), CaptureDelivery),
            BULK_STREAM_DONE);
  EXPECT_EQ(capture.bytes.size(), capture.streamSize);
  EXPECT_GT(capture.deliveries.size(), 10u);  // the memory is larger than one delivery
  for (size_t length : capture.deliveries) EXPECT_LE(length, 16384u);
  const std::vector<testing::StreamItem> items = testing::SplitStream(capture.bytes);
  std::string tags;
  for (const auto& item : items) tags += outside::bulk::TagText(item.header.tag) + "|";
  EXPECT_EQ(tags, "IMG |IMG |IMG |BST |AVI |IMG |AVI |VDO |WAV |IMG |");
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_NONE);
}

TEST_F(BulkStream, StopsWhenTheCallbackSaysSo) {
  const BULK_HANDLE camera = Connect();
  StreamCapture capture;
  capture.stopAfter = 2;
  EXPECT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&capture), CaptureDelivery),
            BULK_STREAM_STOPPED);
  EXPECT_EQ(capture.deliveries.size(), 2u);
}

// A callback that uses the library in the middle of the stream, as the
// camera access library does for each complete picture.
struct Reentrant {
  BULK_HANDLE camera;
  StreamCapture capture;
  int headersFetched = 0;
};
int FetchAndErase(intptr_t context, DWORD streamSize, const BYTE* bytes, DWORD length) {
  auto& state = *reinterpret_cast<Reentrant*>(context);
  uint8_t header[623];
  state.headersFetched += BULK_GetJPEGHeader(state.camera, 0, header);
  BULK_ClearCamera(state.camera);
  return CaptureDelivery(reinterpret_cast<intptr_t>(&state.capture), streamSize, bytes, length);
}

TEST_F(BulkStream, TheCallbackMayCallTheLibraryWithoutChangingTheStream) {
  const BULK_HANDLE camera = Connect();
  StreamCapture untouched;
  ASSERT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&untouched), CaptureDelivery), 0);
  Reentrant state{camera, {}, 0};
  ASSERT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&state), FetchAndErase), 0);
  EXPECT_EQ(state.capture.bytes, untouched.bytes);
  EXPECT_EQ(state.headersFetched, static_cast<int>(state.capture.deliveries.size()));
  EXPECT_EQ(BULK_GetImgCount(camera), 0);  // the erasing took effect afterwards
}

TEST_F(BulkStream, AnEmptyCameraStreamsNothing) {
  const BULK_HANDLE camera = Connect();
  ASSERT_EQ(BULK_ClearCamera(camera), 1);
  StreamCapture capture;
  EXPECT_EQ(BULK_GetAllImgs(camera, reinterpret_cast<intptr_t>(&capture), CaptureDelivery),
            BULK_STREAM_DONE);
  EXPECT_TRUE(capture.deliveries.empty());
}

TEST_F(BulkStream, ANullCallbackIsRefused) {
  const BULK_HANDLE camera = Connect();
  EXPECT_EQ(BULK_GetAllImgs(camera, 0, nullptr), BULK_STREAM_BAD_ARGUMENT);
  EXPECT_EQ(BULK_GetErrCode(camera), BULK_ERR_BAD_ARGUMENT);
}

}  // namespace
}  // namespace ksv::outside::bulk
