// Capturing the camera to a file through the media framework: the
// simulated camera under its driver, bound from the video input category
// (RMC900 USB Camera, 320 x 240 I420), through the Vexel 5 encoder and the
// AVI Mux into the File writer, with no clock, on a simulated counter the
// camera's bus moves, so the graph runs as fast as its filters and threads
// allow. The anchor, in the same run: decoding the same camera frames
// alone (the camera's compressed frames into I420 by the driver's
// decoder). A second graph without the encoder shows what capture itself
// costs. Prints frames per second of each and the ratios.
//
//   build/bench/camera_capture_bench [seconds of video, default 100]
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
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
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/usbcamd/camera_stack.h"
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
  double seconds = 0;
  size_t frames = 0;
};

// Captures `videoSeconds` of simulated time and returns the wall time and
// the frames in the file.
Capture CaptureToFile(const fs::path& file, bool encode, double videoSeconds,
                      const ksv::platform::kernel::SimulatedPerformanceCounter& counter) {
  Capture result;
  {
    ComPtr<IGraphBuilder> graph;
    Check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(graph.GetAddressOf())),
          "filter graph");
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    media->SetSyncSource(nullptr);
    ComPtr<IBaseFilter> camera = BindCamera();
    ComPtr<IBaseFilter> encoder = encode ? Make(CLSID_Vexel5Encoder) : nullptr;
    ComPtr<IBaseFilter> mux = Make(CLSID_AviDest);
    ComPtr<IBaseFilter> writer = Make(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    writer.As(&sink);
    const std::u16string wide = ksv::com::Utf8ToUtf16(file.string());
    Check(sink->SetFileName(wide.c_str(), nullptr), "SetFileName");
    graph->AddFilter(camera.Get(), u"Camera");
    if (encoder) graph->AddFilter(encoder.Get(), u"Vexel 5");
    graph->AddFilter(mux.Get(), u"Mux");
    graph->AddFilter(writer.Get(), u"Writer");
    IBaseFilter* last = camera.Get();
    if (encoder) {
      Check(graph->ConnectDirect(FirstPin(camera.Get(), PINDIR_OUTPUT).Get(),
                                 FirstPin(encoder.Get(), PINDIR_INPUT).Get(), nullptr),
            "camera to encoder");
      last = encoder.Get();
    }
    Check(graph->ConnectDirect(FirstPin(last, PINDIR_OUTPUT).Get(),
                               FirstPin(mux.Get(), PINDIR_INPUT).Get(), nullptr),
          "to mux");
    Check(graph->ConnectDirect(FirstPin(mux.Get(), PINDIR_OUTPUT).Get(),
                               FirstPin(writer.Get(), PINDIR_INPUT).Get(), nullptr),
          "mux to writer");
    ComPtr<IMediaControl> control;
    graph.As(&control);
    const int64_t end = counter.Counter() + static_cast<int64_t>(videoSeconds * 10'000'000);
    const auto start = Clock::now();
    Check(control->Run(), "Run");
    while (counter.Counter() < end) std::this_thread::sleep_for(std::chrono::microseconds(200));
    control->Stop();
    result.seconds = Seconds(Clock::now() - start);
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

double DecodeAloneFps(const std::vector<std::vector<uint8_t>>& frames, size_t count) {
  ksv::codec::DecoderTables decoder;
  if (!decoder.SetUp()) Fail("decoder set-up failed");
  std::vector<uint8_t> out(ksv::codec::PlanarBytes(kSize));
  const auto start = Clock::now();
  for (size_t i = 0; i < count; ++i) {
    uint32_t written = 0;
    const auto result = decoder.DecodeFrame({}, frames[i % frames.size()], out, written, kSize,
                                            kSize, ksv::codec::kCompressionI420);
    if (!result) Fail("decode failed");
  }
  return static_cast<double>(count) / Seconds(Clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  const double videoSeconds = argc > 1 ? std::atof(argv[1]) : 100.0;
  if (videoSeconds <= 0) Fail("usage: camera_capture_bench [seconds of video]");
  const fs::path root = fs::temp_directory_path() / ("ksv_capture_bench_" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("KSV_ROOT", root.c_str(), 1);

  const auto frames = CameraFrames();
  const double decodeFps = DecodeAloneFps(frames, static_cast<size_t>(videoSeconds * 30));

  Check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx");
  for (const char* module : {"ksvmedia.so", "ksvksproxy.so", "ksvvexel5.so", "ksvavimux.so",
                             "ksvfilewriter.so"}) {
    Register(module);
  }
  ksv::platform::usbcamd::RegisterCameraDriver({std::string(KSV_PLUGIN_DIR) + "/oksv1vid.so",
                                                "RMC900 USB Camera"});
  ksv::simcam::SimulatedCameraDevice camera;
  ksv::platform::hardware::PlugDevice(&camera);
  ksv::platform::kernel::SimulatedPerformanceCounter counter(10'000'000, 0, true);
  Capture encoded, raw;
  {
    ksv::platform::kernel::ScopedPerformanceCounter use(counter);
    encoded = CaptureToFile(root / "vexel.avi", true, videoSeconds, counter);
    raw = CaptureToFile(root / "raw.avi", false, videoSeconds, counter);
  }
  ksv::platform::hardware::UnplugDevice(&camera);
  CoUninitialize();
  fs::remove_all(root);

  const double encodedFps = encoded.frames / encoded.seconds;
  const double rawFps = raw.frames / raw.seconds;
  std::printf("320x240 I420 from the camera, %.0f s of video, no clock\n", videoSeconds);
  std::printf("%-44s %8s %10s %10s\n", "", "frames", "seconds", "fps");
  std::printf("%-44s %8zu %10.3f %10.1f\n", "camera -> Vexel 5 -> AVI Mux -> File writer",
              encoded.frames, encoded.seconds, encodedFps);
  std::printf("%-44s %8zu %10.3f %10.1f\n", "camera -> AVI Mux -> File writer (no encoder)",
              raw.frames, raw.seconds, rawFps);
  std::printf("%-44s %8s %10s %10.1f\n", "anchor: decoding the camera's frames alone", "", "",
              decodeFps);
  std::printf("ratio, Vexel 5 capture / decode alone: %.3f\n", encodedFps / decodeFps);
  std::printf("ratio, raw capture / decode alone:     %.3f\n", rawFps / decodeFps);
  return 0;
}
