// The camera (simulated, bound as a video capture device) through a frame
// recorder and a video compressor into the AVI Mux and the File writer, on
// simulated time: what FFmpeg decodes from the file is what the camera
// delivered, frame for frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "include/vexel5.h"
#include "platform/com/inproc_servers.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/formats.h"
#include "platform/media/media.h"
#include "platform/media/tests/end_to_end/frame_recorder.h"
#include "platform/media/testing/bind_device.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/usbcamd/camera_stack.h"
#include "simcam/simulated_camera.h"
#include "testing/temp_files.h"

namespace ksv::media::testing {
namespace {

using com::ComPtr;
namespace kernel = platform::kernel;

constexpr const char16_t* kCameraName = u"RMC900 USB Camera";

ComPtr<IBaseFilter> Create(REFCLSID clsid) {
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(filter.GetAddressOf())),
            S_OK);
  return filter;
}

double Psnr(const uint8_t* a, const uint8_t* b, size_t size) {
  double sum = 0;
  for (size_t i = 0; i < size; ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(size) / sum);
}

// The camera plugged in with its driver registered, its filter bound from
// the video input category, and a graph around it on the simulated counter
// the camera's bus moves.
class CameraToAvi : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_TRUE(root_.ok()) << root_.error();
    platform::usbcamd::RegisterCameraDriver({KSV_CAMERA_DRIVER_MODULE, "RMC900 USB Camera"});
    platform::hardware::PlugDevice(&camera_);
    plugged_ = true;
    camera_filter_ = BindDevice(CLSID_VideoInputDeviceCategory, kCameraName);
    ASSERT_TRUE(camera_filter_);
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(graph_->AddFilter(camera_filter_.Get(), kCameraName), S_OK);
    recorder_ = Counted(new FrameRecorder());
    ASSERT_EQ(graph_->AddFilter(recorder_, u"Recorder"), S_OK);
  }
  void TearDown() override {
    ComPtr<IMediaControl> control;
    if (graph_ && SUCCEEDED(graph_.As(&control))) control->Stop();
    control = nullptr;
    graph_ = nullptr;
    camera_filter_ = nullptr;
    if (recorder_ != nullptr) recorder_->Release();
    if (plugged_) platform::hardware::UnplugDevice(&camera_);
  }

  // The capture pin set to the RGB24 capability of that width, at 30
  // frames a second.
  void ChooseRgb24(LONG width) {
    ComPtr<IPin> capture;
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(camera_filter_->FindPin(u"Capture", capture.GetAddressOf()), S_OK);
    ASSERT_EQ(capture.As(&config), S_OK);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* type = nullptr;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
      const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
      const bool wanted = type->subtype == MEDIASUBTYPE_RGB24 && info->bmiHeader.biWidth == width;
      const HRESULT set = wanted ? config->SetFormat(type) : S_FALSE;
      DeleteMediaType(type);
      if (wanted) {
        ASSERT_EQ(set, S_OK);
        return;
      }
    }
    FAIL() << "no RGB24 capability " << width << " wide";
  }

  // camera -> recorder -> `compressor` -> AVI Mux -> File writer on `file`.
  void Build(IBaseFilter* compressor, const std::string& file) {
    ComPtr<IBaseFilter> mux = Create(CLSID_AviDest), writer = Create(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer.As(&sink), S_OK);
    const std::u16string wide(file.begin(), file.end());
    ASSERT_EQ(sink->SetFileName(wide.c_str(), nullptr), S_OK);
    ASSERT_EQ(graph_->AddFilter(compressor, u"Compressor"), S_OK);
    ASSERT_EQ(graph_->AddFilter(mux.Get(), u"AVI Mux"), S_OK);
    ASSERT_EQ(graph_->AddFilter(writer.Get(), u"File writer"), S_OK);
    ComPtr<IPin> capture;
    ASSERT_EQ(camera_filter_->FindPin(u"Capture", capture.GetAddressOf()), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(capture.Get(), FirstPin(recorder_, PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph_->ConnectDirect(FirstPin(recorder_, PINDIR_OUTPUT).Get(),
                                    FirstPin(compressor, PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph_->ConnectDirect(FirstPin(compressor, PINDIR_OUTPUT).Get(),
                                    FirstPin(mux.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph_->ConnectDirect(FirstPin(mux.Get(), PINDIR_OUTPUT).Get(),
                                    FirstPin(writer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
  }

  // Runs the graph for `seconds` of simulated time, and on until the
  // recorder has `frames` (a slow compressor, or a sanitiser, holds the
  // camera's stream while its bus moves time on: frames are dropped), then
  // stops it, which finishes the file.
  void RunFor(double seconds, size_t frames) {
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph_.As(&control), S_OK);
    const int64_t until = counter_.Counter() + static_cast<int64_t>(seconds * 10'000'000);
    ASSERT_EQ(control->Run(), S_OK);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((counter_.Counter() < until || recorder_->frames().size() < frames) &&
           std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_GE(counter_.Counter(), until) << "the camera's bus did not move time on";
    ASSERT_GE(recorder_->frames().size(), frames);
  }

  kernel::SimulatedPerformanceCounter counter_{10'000'000, 0, true};
  kernel::ScopedPerformanceCounter useCounter_{counter_};
  PluginRoot root_{{"ksvksproxy.so", "ksvvexel5.so", "ksvavico.so", "ksvavimux.so",
                    "ksvfilewriter.so"}};
  simcam::SimulatedCameraDevice camera_;
  bool plugged_ = false;
  ComPtr<IBaseFilter> camera_filter_;
  ComPtr<IGraphBuilder> graph_;
  FrameRecorder* recorder_ = nullptr;
};

TEST_F(CameraToAvi, Vexel5WritesMotionJpegThatDecodesToTheFramesTheCameraDelivered) {
  constexpr int kWidth = 320, kHeight = 240;
  ChooseRgb24(kWidth);
  ComPtr<IBaseFilter> encoder = Create(CLSID_Vexel5Encoder);
  const std::string file = (root_ / "camera.avi").string();
  Build(encoder.Get(), file);
  RunFor(0.5, 5);
  const std::vector<std::vector<uint8_t>> frames = recorder_->frames();
  // The pattern comes back every 16 frames, so the first and last frames
  // may match when frames were dropped between them; not all of them do.
  EXPECT_TRUE(std::any_of(frames.begin(), frames.end(),
                          [&frames](const auto& frame) { return frame != frames.front(); }))
      << "the camera's test pattern moves";
  graph_ = nullptr;  // the file is finished and closed

  EXPECT_EQ(Probe(file, "v:0", "stream=codec_name"), "mjpeg");
  EXPECT_EQ(Probe(file, "v:0", "stream=width"), "320");
  EXPECT_EQ(Probe(file, "v:0", "stream=height"), "240");
  const std::string raw = (root_ / "decoded.bgr").string();
  int status = -1;
  // Every frame as it is stored: the camera drops frames while the
  // encoder holds its stream, and FFmpeg would fill those gaps in its
  // time line with copies.
  const std::string errors =
      RunCommand("ffmpeg -v error -xerror -i '" + file + "' -fps_mode passthrough" +
                     " -f rawvideo -pix_fmt bgr24 -y '" + raw + "' 2>&1",
                 &status);
  ASSERT_EQ(status, 0) << errors;
  EXPECT_EQ(errors, "");
  const std::vector<uint8_t> decoded = ksv::testing::ReadFile(raw);
  const size_t row = kWidth * 3, frameBytes = row * kHeight;
  ASSERT_EQ(decoded.size(), frameBytes * frames.size()) << "a decoded frame for each delivered";
  for (size_t n = 0; n < frames.size(); ++n) {
    ASSERT_EQ(frames[n].size(), frameBytes);
    // The camera's RGB24 is bottom-up, FFmpeg's rows top-down.
    std::vector<uint8_t> topDown(frameBytes);
    for (size_t y = 0; y < kHeight; ++y) {
      std::memcpy(&topDown[y * row], &frames[n][(kHeight - 1 - y) * row], row);
    }
    EXPECT_GT(Psnr(topDown.data(), &decoded[n * frameBytes], frameBytes), 35.0) << "frame " << n;
  }
}

TEST_F(CameraToAvi, CinepakFromTheCompressorCategoryWritesWhatFfmpegDecodesWhole) {
  ChooseRgb24(160);
  ComPtr<IBaseFilter> cinepak =
      BindDevice(CLSID_VideoCompressorCategory, u"Cinepak Codec by Radius");
  ASSERT_TRUE(cinepak);
  const std::string file = (root_ / "cinepak.avi").string();
  Build(cinepak.Get(), file);
  RunFor(0.3, 3);
  const size_t delivered = recorder_->frames().size();
  graph_ = nullptr;

  EXPECT_EQ(Probe(file, "v:0", "stream=codec_name"), "cinepak");
  int status = -1;
  const std::string errors =
      RunCommand("ffmpeg -v error -xerror -i '" + file + "' -f null - 2>&1", &status);
  EXPECT_EQ(status, 0) << errors;
  EXPECT_EQ(errors, "");
  EXPECT_EQ(Probe(file, "v:0", "stream=nb_read_frames", true), std::to_string(delivered));
}

}  // namespace
}  // namespace ksv::media::testing
