// Capturing the camera through the media framework: the simulated camera
// under its driver, bound from the video input category (RMC900 USB Camera,
// 320 x 240 I420), with no clock, on a simulated counter the camera's bus
// moves, so the graph runs as fast as its filters and threads allow. Three
// graphs: into a null renderer (capture itself), through the AVI Mux into
// the File writer, and through the Vexel 5 encoder into them. The anchor,
// in the same run: decoding the same camera frames alone (the camera's
// compressed frames into I420 by the driver's decoder), timed before and
// after each graph run.
//
// This machine's speed drifts by half over seconds (its processors are
// shared), so a graph and an anchor timed once each may fall in different
// phases. Each graph runs three times with the anchor timed around every
// run; each run is set against the mean of the anchors just before and
// after it, and the table shows the run with the median ratio.
//
// Measured as processor time per frame (every thread of the process but
// this one, which only waits), so that other work on the machine does not
// count; the simulated camera's own work (making, compressing and cutting
// its frames) is the camera's cost, not the host's, and is counted apart.
// Prints each graph's frames per second of wall time, its processor time
// per frame, the camera's share, and the ratios of the host's rate to
// decoding alone.
//
//   build/bench/camera_capture_bench [seconds of video, default 100]
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <atomic>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "codec/decoder.h"
#include "driver/frame_assembly.h"
#include "include/vexel5.h"
#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/base/renderer.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/usbcamd/usb_device.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace {

using ksv::com::ComPtr;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr ksv::codec::FrameSize kSize{320, 240};

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "camera_capture_bench: %s\n", why.c_str());
  std::exit(1);
}

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    Fail(std::string(what) + " failed with " + code);
  }
}

void Register(const std::string& module) {
  const std::string path = std::string(KSV_PLUGIN_DIR) + "/" + module;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) Fail("cannot load " + path);
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
  if (entry == nullptr) Fail(path + " has no DllRegisterServer");
  Check(entry(), module.c_str());
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Processor time of every thread but the calling one.
double OtherThreadsCpuSeconds() {
  return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// Takes every video sample and counts it.
class NullRenderer final : public CBaseRenderer {
 public:
  NullRenderer() : CBaseRenderer(kClsid, "null renderer", nullptr, nullptr) {}
  HRESULT CheckMediaType(const CMediaType* type) override {
    return type->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DoRenderSample(IMediaSample*) override {
    rendered_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  size_t rendered() const { return rendered_.load(); }

 private:
  static constexpr CLSID kClsid = ksv::com::Guid("5E1F0049-0000-4000-8000-000000000049");
  std::atomic<size_t> rendered_{0};
};

// The camera's filter, bound from its moniker in the video input category.
ComPtr<IBaseFilter> BindCamera() {
  ComPtr<ICreateDevEnum> devices;
  Check(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(devices.GetAddressOf())),
        "device enumerator");
  ComPtr<IEnumMoniker> each;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, each.GetAddressOf(), 0) !=
      S_OK) {
    Fail("no video input device");
  }
  IMoniker* moniker = nullptr;
  if (each->Next(1, &moniker, nullptr) != S_OK) Fail("no video input device");
  auto held = ComPtr<IMoniker>::Adopt(moniker);
  ComPtr<IBaseFilter> camera;
  Check(held->BindToObject(nullptr, nullptr, IID_PPV_ARGS(camera.GetAddressOf())), "bind camera");
  return camera;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  ComPtr<IEnumPins> pins;
  filter->EnumPins(pins.GetAddressOf());
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    auto held = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION direction;
    held->QueryDirection(&direction);
    if (direction == wanted) return held;
  }
  Fail("a filter has no pin of the direction wanted");
}

ComPtr<IBaseFilter> Make(REFCLSID clsid) {
  ComPtr<IBaseFilter> filter;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                         IID_PPV_ARGS(filter.GetAddressOf())),
        "CoCreateInstance");
  return filter;
}

struct Capture {
  double seconds = 0;        // wall time
  double cpuSeconds = 0;     // every thread's but the waiting one
  double cameraSeconds = 0;  // the simulated camera's own work
  size_t frames = 0;
  double HostPerFrame() const { return (cpuSeconds - cameraSeconds) / static_cast<double>(frames); }
};

constexpr int kRuns = 3;

enum class Sink { kNullRenderer, kFile, kEncodedFile };

// Captures `videoSeconds` of simulated time into `sink` (`file` for the
// file sinks) and returns the times and the frames that reached the end.
Capture CaptureTo(Sink sinkKind, const fs::path& file, double videoSeconds,
                  const ksv::platform::kernel::SimulatedPerformanceCounter& counter,
                  const ksv::simcam::CameraVideo& cameraVideo) {
  Capture result;
  NullRenderer* renderer = nullptr;
  {
    ComPtr<IGraphBuilder> graph;
    Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(graph.GetAddressOf())),
          "filter graph");
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    media->SetSyncSource(nullptr);
    ComPtr<IBaseFilter> camera = BindCamera();
    graph->AddFilter(camera.Get(), u"Camera");
    ComPtr<IBaseFilter> last = camera;
    const auto append = [&](const ComPtr<IBaseFilter>& next, const char16_t* name) {
      graph->AddFilter(next.Get(), name);
      Check(graph->ConnectDirect(FirstPin(last.Get(), PINDIR_OUTPUT).Get(),
                                 FirstPin(next.Get(), PINDIR_INPUT).Get(), nullptr),
            "connecting the graph");
      last = next;
    };
    if (sinkKind == Sink::kNullRenderer) {
      renderer = new NullRenderer;
      renderer->AddRef();
      append(ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(renderer)), u"Null renderer");
    } else {
      if (sinkKind == Sink::kEncodedFile) append(Make(CLSID_Vexel5Encoder), u"Vexel 5");
      append(Make(CLSID_AviDest), u"Mux");
      ComPtr<IBaseFilter> writer = Make(CLSID_FileWriter);
      ComPtr<IFileSinkFilter> sink;
      writer.As(&sink);
      const std::u16string wide = ksv::com::Utf8ToUtf16(file.string());
      Check(sink->SetFileName(wide.c_str(), nullptr), "SetFileName");
      append(writer, u"Writer");
    }
    ComPtr<IMediaControl> control;
    graph.As(&control);
    const int64_t end = counter.Counter() + static_cast<int64_t>(videoSeconds * 10'000'000);
    const double cameraBefore = cameraVideo.WorkSeconds();
    const double cpuBefore = OtherThreadsCpuSeconds();
    const auto start = Clock::now();
    Check(control->Run(), "Run");
    while (counter.Counter() < end) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    control->Stop();
    result.seconds = Seconds(Clock::now() - start);
    result.cpuSeconds = OtherThreadsCpuSeconds() - cpuBefore;
    result.cameraSeconds = cameraVideo.WorkSeconds() - cameraBefore;
  }
  if (renderer != nullptr) {
    result.frames = renderer->rendered();
    renderer->Release();
    return result;
  }
  ksv::media::avi::FileByteSource source(file);
  const ksv::media::avi::File avi = ksv::media::avi::ReadAvi(source);
  if (avi.streams.empty()) Fail("the capture has no stream");
  result.frames = avi.streams[0].index.size();
  return result;
}

// The camera's compressed frames (one period of its moving pattern), as
// the driver passes them through.
std::vector<std::vector<uint8_t>> CameraFrames() {
  ksv::simcam::SimulatedCamera device;
  ksv::rig::CameraRig rig{{.device = &device}};
  if (rig.Start() != 0 ||
      rig.Open({kSize, ksv::rig::kCompressionPassThrough, 12, 0}) != 0) {
    Fail("the camera rig did not open a pass-through stream");
  }
  std::vector<std::vector<uint8_t>> frames;
  while (frames.size() < 16) {
    const auto frame = rig.NextFrame();
    if (!frame) Fail("the camera sent no frame");
    // The driver's pass-through header, then the frame as the camera sent it.
    if (frame->data.size() <= ksv::driver::kPassThroughHeaderSize) Fail("a short frame");
    frames.emplace_back(frame->data.begin() + ksv::driver::kPassThroughHeaderSize,
                        frame->data.end());
  }
  rig.Close();
  rig.Stop();
  return frames;
}

// Processor seconds per frame of decoding `count` of `frames`.
double DecodeAloneCpuPerFrame(const std::vector<std::vector<uint8_t>>& frames, size_t count) {
  ksv::codec::DecoderTables decoder;
  if (!decoder.SetUp()) Fail("decoder set-up failed");
  std::vector<uint8_t> out(ksv::codec::PlanarBytes(kSize));
  const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  for (size_t i = 0; i < count; ++i) {
    uint32_t written = 0;
    const auto result = decoder.DecodeFrame({}, frames[i % frames.size()], out, written, kSize,
                                            kSize, ksv::codec::kCompressionI420);
    if (!result) Fail("decode failed");
  }
  return (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start) / static_cast<double>(count);
}

}  // namespace

int main(int argc, char** argv) {
  const double videoSeconds = argc > 1 ? std::atof(argv[1]) : 100.0;
  if (videoSeconds <= 0) Fail("usage: camera_capture_bench [seconds of video]");
  const fs::path root = fs::temp_directory_path() / ("ksv_capture_bench_" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("KSV_ROOT", root.c_str(), 1);

  const auto frames = CameraFrames();
  const auto anchorFrames = static_cast<size_t>(videoSeconds * 30);
  std::vector<double> decode = {DecodeAloneCpuPerFrame(frames, anchorFrames)};

  Check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx");
  for (const char* module : {"ksvmedia.so", "ksvksproxy.so", "ksvvexel5.so", "ksvavimux.so",
                             "ksvfilewriter.so"}) {
    Register(module);
  }
  ksv::platform::usbcamd::RegisterCameraDriver({std::string(KSV_PLUGIN_DIR) + "/oksv1vid.so",
                                                "RMC900 USB Camera"});
  ksv::simcam::SimulatedCameraDevice camera;
  ksv::platform::hardware::PlugDevice(&camera);
  const auto& cameraVideo =
      static_cast<ksv::simcam::SimulatedCamera*>(
          camera.Function(ksv::platform::usbcamd::kUsbDeviceInterface))
          ->Video();
  ksv::platform::kernel::SimulatedPerformanceCounter counter(10'000'000, 0, true);
  struct Row {
    const char* name;
    Sink sink;
    const char* file;
    Capture capture;                // the run with the median ratio
    double ratio = 0;               // its ratio
    std::vector<double> runRatios;  // each run against the anchors around it
  } rows[] = {
      {"camera -> null renderer", Sink::kNullRenderer, "", {}, 0, {}},
      {"camera -> AVI Mux -> File writer", Sink::kFile, "raw.avi", {}, 0, {}},
      {"camera -> Vexel 5 -> AVI Mux -> File writer", Sink::kEncodedFile, "vexel.avi", {}, 0, {}},
  };
  {
    ksv::platform::kernel::ScopedPerformanceCounter use(counter);
    for (Row& row : rows) {
      std::vector<std::pair<double, Capture>> runs;
      for (int run = 0; run < kRuns; ++run) {
        const Capture capture =
            CaptureTo(row.sink, root / row.file, videoSeconds, counter, cameraVideo);
        if (capture.frames == 0) Fail(std::string(row.name) + ": no frame");
        decode.push_back(DecodeAloneCpuPerFrame(frames, anchorFrames));
        const double around = (decode[decode.size() - 2] + decode.back()) / 2;
        row.runRatios.push_back(around / capture.HostPerFrame());
        runs.emplace_back(row.runRatios.back(), capture);
      }
      std::sort(runs.begin(), runs.end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
      std::tie(row.ratio, row.capture) = runs[runs.size() / 2];
    }
  }
  ksv::platform::hardware::UnplugDevice(&camera);
  CoUninitialize();
  fs::remove_all(root);

  std::printf("320x240 I420 from the camera, %.0f s of video, no clock; processor time of every "
              "thread; the median of %d runs\n",
              videoSeconds, kRuns);
  std::printf("%-44s %7s %9s %9s %9s %9s\n", "", "frames", "wall fps", "cpu ms/f", "camera",
              "host ms/f");
  for (const Row& row : rows) {
    const Capture& c = row.capture;
    const double count = static_cast<double>(c.frames);
    std::printf("%-44s %7zu %9.1f %9.3f %9.3f %9.3f\n", row.name, c.frames, count / c.seconds,
                c.cpuSeconds / count * 1e3, c.cameraSeconds / count * 1e3,
                (c.cpuSeconds - c.cameraSeconds) / count * 1e3);
  }
  std::printf("%-44s %7s %9s %9s   (before, between and after the runs:", "anchor: decoding "
              "the camera's frames alone", "", "", "");
  for (const double each : decode) std::printf(" %.3f", each * 1e3);
  std::printf(")\n");
  for (const Row& row : rows) {
    std::printf("ratio, %s / decode alone (host's rate, camera apart): %.3f   (each run:",
                row.name, row.ratio);
    for (const double each : row.runRatios) std::printf(" %.3f", each);
    std::printf(")\n");
  }
  return 0;
}
