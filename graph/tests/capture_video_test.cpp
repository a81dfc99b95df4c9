// Video capture through the library from a capture source listed as a
// camera: the build with a compressor and a microphone that are not there,
// run to its end, an AVI with every frame; and a format the camera does not
// have, which still counts as built but leaves nothing to run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "graph/graph_routines.h"
#include "graph/tests/test_page.h"
#include "platform/com/inproc_servers.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/testing/capture_test_filters.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/user32.h"

namespace ksv::graph {
namespace {

namespace kernel = platform::kernel;
using media::testing::kCaptureHeight;
using media::testing::kCaptureWidth;

std::vector<int32_t> built;

void RecordBuilt(int32_t code, intptr_t) {
  if (code == QMG_CODE_BUILT) built.push_back(code);
}

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The video chunks ("##db" or "##dc") of the file's movi list.
int VideoChunks(const std::vector<char>& file) {
  const char* movi = "movi";
  auto at = std::search(file.begin(), file.end(), movi, movi + 4);
  if (at == file.end()) return -1;
  uint32_t listSize = 0;
  std::memcpy(&listSize, &*(at - 4), 4);
  const size_t end = std::min(file.size(), size_t(at - file.begin()) + listSize);
  int count = 0;
  for (size_t chunk = size_t(at - file.begin()) + 4; chunk + 8 <= end;) {
    uint32_t size = 0;
    std::memcpy(&size, &file[chunk + 4], 4);
    if (file[chunk + 2] == 'd' && (file[chunk + 3] == 'b' || file[chunk + 3] == 'c')) ++count;
    chunk += 8 + size + (size & 1);
  }
  return count;
}

class VideoCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    built.clear();
    com::ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               reinterpret_cast<void**>(mapper.GetAddressOf())),
              S_OK);
    mapper->CreateCategory(CLSID_VideoInputDeviceCategory, MERIT_DO_NOT_USE, u"Video Capture Sources");
    REGFILTER2 data{};
    data.dwVersion = 1;
    ASSERT_EQ(mapper->RegisterFilter(kTestCameraClsid, u"QMG Test Camera", nullptr,
                                     &CLSID_VideoInputDeviceCategory, u"QMG Test Camera", &data),
              S_OK);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProcedure;
    windowClass.lpszClassName = "QMG video client";
    RegisterClassA(&windowClass);
    parent_ = CreateWindowExA(0, "QMG video client", "client", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  bool PumpUntilComplete(QmgHandle* handle) {
    MSG message{};
    // Bounded by wall time: simulated-time ticks come as fast as they are
    // taken, while the capture's threads may wait for the processor.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (QMG_GetEventFlag(handle) != 0 && std::chrono::steady_clock::now() < deadline) {
      if (GetMessageA(&message, nullptr, 0, 0) <= 0) break;
      DispatchMessageA(&message);
    }
    return QMG_GetEventFlag(handle) == 0;
  }

  media::testing::PluginRoot root_{{"ksvcapture.so", "ksvavimux.so", "ksvfilewriter.so", "ksvsmarttee.so",
                                    "ksvvideorender.so", "qmgtestpages.so"}};
  kernel::SimulatedPerformanceCounter counter_{1'000'000};
  kernel::ScopedPerformanceCounter installed_{counter_};
  HWND parent_ = nullptr;
};

TEST_F(VideoCapture, TheCaptureRunsToItsEndAndTheAviHoldsEveryFrame) {
  const auto avi = root_ / "capture.avi";
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  QMG_SetCallbackProc(handle, RecordBuilt, 0);
  const QmgVideoFormat format{kCaptureWidth, kCaptureHeight, 0};
  ASSERT_EQ(QMG_BuildCaptureVideo(handle, "QMG Test Camera", &format, "No Such Codec", "No Such Microphone",
                                  nullptr, avi.c_str()),
            1);
  EXPECT_EQ(built.size(), 1u);
  EXPECT_EQ(handle->graphKind, kGraphCaptureVideo);
  EXPECT_STREQ(handle->deviceName, "QMG Test Camera");
  QmgVideoFormat read{};
  ASSERT_EQ(QMG_GetVideoFormat(handle, &read), 1);
  EXPECT_EQ(read.width, kCaptureWidth);
  EXPECT_EQ(read.height, kCaptureHeight);

  QMG_SetEventFlag(handle);
  ASSERT_EQ(QMG_Play(handle), 1);
  EXPECT_TRUE(PumpUntilComplete(handle));
  EXPECT_EQ(QMG_Stop(handle), 1);
  EXPECT_EQ(QMG_Reset(handle), 1);

  std::ifstream file(avi, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "AVI ", 4), 0);
  EXPECT_EQ(VideoChunks(bytes), int(kTestCameraFrames));
}

TEST_F(VideoCapture, AFormatOfTheOtherHeightSignStopsTheBuildAfterTheDevice) {
  QmgHandle* handle = QMG_Init(nullptr, parent_);
  ASSERT_NE(handle, nullptr);
  QMG_SetCallbackProc(handle, RecordBuilt, 0);
  const QmgVideoFormat topDown{kCaptureWidth, -kCaptureHeight, 0};
  EXPECT_EQ(QMG_BuildCaptureVideo(handle, "QMG Test Camera", &topDown, nullptr, nullptr, nullptr,
                                  (root_ / "none.avi").c_str()),
            1)
      << "the device was found";
  EXPECT_EQ(built.size(), 1u);
  EXPECT_EQ(QMG_Play(handle), 0) << "the build stopped before attaching the controls";
  EXPECT_FALSE(std::filesystem::exists(root_ / "none.avi"));
  EXPECT_EQ(QMG_BuildCaptureVideo(handle, "No Such Camera", nullptr, nullptr, nullptr, nullptr,
                                  (root_ / "none.avi").c_str()),
            0);
  EXPECT_EQ(QMG_Reset(handle), 1);
}

}  // namespace
}  // namespace ksv::graph
