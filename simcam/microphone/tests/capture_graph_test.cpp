// The simulated microphone as the machine's hardware, captured to a WAV
// file by a graph: microphone -> WAV Dest -> File writer. What comes out is
// the microphone's WAV sample for sample; with the graph's clock the
// capture takes as much (simulated) time as the sound lasts, without one
// it takes none.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/media/testing/filter_pins.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/wide_text.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/capture_interfaces.h"
#include "platform/media/avi/wav_file.h"
#include "platform/media/filter_ids.h"
#include "platform/media/ks_property_set.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"
#include "simcam/microphone/simulated_microphone.h"
#include "simcam/microphone/tests/wav_maker.h"

namespace ksv::simcam::testing {
namespace {

using com::ComPtr;
using platform::audio::PcmFormat;
namespace kernel = platform::kernel;

using media::testing::FirstPin;

// The names in the audio input category, and the filter of `name`.
ComPtr<IBaseFilter> FindMicrophone(const std::string& name, std::vector<std::string>* names) {
  ComPtr<ICreateDevEnum> devices;
  EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(devices.GetAddressOf())),
            S_OK);
  ComPtr<IEnumMoniker> each;
  if (devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, each.GetAddressOf(), 0) !=
      S_OK) {
    return nullptr;
  }
  ComPtr<IBaseFilter> found;
  IMoniker* moniker = nullptr;
  while (each->Next(1, &moniker, nullptr) == S_OK) {
    auto held = ComPtr<IMoniker>::Adopt(moniker);
    ComPtr<IPropertyBag> bag;
    held->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(bag.GetAddressOf()));
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    if (bag->Read(u"FriendlyName", &value, nullptr) != S_OK) continue;
    const std::string friendly = com::Utf16ToUtf8(com::BstrView(value.bstrVal));
    VariantClear(&value);
    names->push_back(friendly);
    if (friendly == name) {
      EXPECT_EQ(held->BindToObject(nullptr, nullptr, IID_PPV_ARGS(found.GetAddressOf())), S_OK);
    }
  }
  return found;
}

class MicrophoneCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    // Listed as `ksvcam setup` lists it; the platform loads the module.
    platform::hardware::ListModule(SimulatedMicrophoneDevice::kName, KSV_MICROPHONE_MODULE);
    // Two seconds of 22,050 Hz 16-bit stereo, every sample different.
    samples_.resize(2 * 22050 * 2);
    for (size_t i = 0; i < samples_.size(); ++i) {
      samples_[i] = static_cast<int16_t>(static_cast<uint16_t>(i * 13 + (i % 2) * 5000));
    }
    WritePcmWav(root_ / "heard.wav", kHeard, Bytes16(samples_));
  }

  // Captures the microphone to `name` with or without the graph's clock,
  // in `format` when given, connected directly or (`builder`) by the capture
  // graph builder from the capture pin it finds; the WAV file written.
  media::avi::WavFile Capture(const std::string& name, bool clock,
                              const std::optional<PcmFormat>& format = std::nullopt,
                              bool builder = false) {
    std::vector<std::string> names;
    ComPtr<IBaseFilter> microphone = FindMicrophone(SimulatedMicrophoneDevice::kName, &names);
    EXPECT_NE(std::find(names.begin(), names.end(), "KSV Simulated Microphone"), names.end());
    EXPECT_TRUE(microphone);
    if (!microphone) return {};
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> dest, writer;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph.GetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_WavDest, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(dest.GetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(writer.GetAddressOf())),
              S_OK);
    graph->AddFilter(microphone.Get(), u"KSV Simulated Microphone");
    graph->AddFilter(dest.Get(), u"WAV Dest");
    graph->AddFilter(writer.Get(), u"File writer");
    ComPtr<ICaptureGraphBuilder2> capture;
    if (builder) {
      EXPECT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(capture.GetAddressOf())),
                S_OK);
      if (!capture) return {};
      EXPECT_EQ(capture->SetFiltergraph(graph.Get()), S_OK);
    }
    if (format) {
      ComPtr<IAMStreamConfig> config;
      if (builder) {
        EXPECT_EQ(capture->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, microphone.Get(),
                                         IID_IAMStreamConfig,
                                         reinterpret_cast<void**>(config.GetAddressOf())),
                  S_OK);
      } else {
        EXPECT_EQ(FirstPin(microphone.Get(), PINDIR_OUTPUT).As(&config), S_OK);
      }
      if (!config) return {};
      WAVEFORMATEX wave{WAVE_FORMAT_PCM, format->channels, format->samplesPerSecond,
                        format->BytesPerSecond(), static_cast<WORD>(format->BlockAlign()),
                        format->bitsPerSample, 0};
      AM_MEDIA_TYPE type{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, TRUE, FALSE, format->BlockAlign(),
                         FORMAT_WaveFormatEx, nullptr, sizeof(wave),
                         reinterpret_cast<BYTE*>(&wave)};
      EXPECT_EQ(config->SetFormat(&type), S_OK);
    }
    ComPtr<IFileSinkFilter> sink;
    writer.As(&sink);
    const std::string path = (root_ / name).string();
    EXPECT_EQ(sink->SetFileName(com::Utf8ToUtf16(path).c_str(), nullptr), S_OK);
    if (builder) {
      EXPECT_EQ(capture->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, microphone.Get(),
                                      nullptr, dest.Get()),
                S_OK);
    } else {
      EXPECT_EQ(graph->ConnectDirect(FirstPin(microphone.Get(), PINDIR_OUTPUT).Get(),
                                     FirstPin(dest.Get(), PINDIR_INPUT).Get(), nullptr),
                S_OK);
    }
    EXPECT_EQ(graph->ConnectDirect(FirstPin(dest.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(writer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    if (!clock) media->SetSyncSource(nullptr);
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    graph.As(&control);
    graph.As(&events);
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(30000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(control->Stop(), S_OK);
    media::avi::FileByteSource file(path);
    return media::avi::ReadWav(file);
  }

  std::vector<uint8_t> DataOf(const std::string& name, const media::avi::WavFile& wav) {
    std::vector<uint8_t> data(static_cast<size_t>(wav.dataSize));
    media::avi::FileByteSource file((root_ / name).string());
    EXPECT_TRUE(file.ReadAt(wav.dataOffset, data.data(), data.size()));
    return data;
  }

  static constexpr PcmFormat kHeard{22050, 2, 16};
  media::testing::PluginRoot root_{
      {"ksvaudiocapture.so", "ksvwavdest.so", "ksvfilewriter.so", "ksvcapture.so"}};
  std::vector<int16_t> samples_;
};

TEST_F(MicrophoneCapture, WavComesBackSampleForSampleWithoutAClockAtOnce) {
  ScopedMicrophoneFile heard((root_ / "heard.wav").string());
  kernel::SimulatedPerformanceCounter counter(10'000'000, 0, false);  // stands still
  kernel::ScopedPerformanceCounter installed(counter);
  const media::avi::WavFile wav = Capture("captured.wav", false);
  ASSERT_GE(wav.format.size(), 16u);
  media::avi::FileByteSource original((root_ / "heard.wav").string());
  const media::avi::WavFile input = media::avi::ReadWav(original);
  EXPECT_EQ(std::vector<uint8_t>(wav.format.begin(), wav.format.begin() + 16),
            std::vector<uint8_t>(input.format.begin(), input.format.begin() + 16));
  EXPECT_EQ(Samples16(DataOf("captured.wav", wav)), samples_);
  EXPECT_EQ(counter.Counter(), 0) << "no clock: no waiting";
}

TEST_F(MicrophoneCapture, WithTheClockTheCaptureTakesTheSoundsDuration) {
  ScopedMicrophoneFile heard((root_ / "heard.wav").string());
  // The clock's waits move this counter on by the time they wait.
  kernel::SimulatedPerformanceCounter counter(10'000'000, 0, true);
  kernel::ScopedPerformanceCounter installed(counter);
  const media::avi::WavFile wav = Capture("clocked.wav", true);
  EXPECT_EQ(Samples16(DataOf("clocked.wav", wav)), samples_);
  // Two seconds of sound: the last buffer left at 2 s on the clock.
  EXPECT_GE(counter.Counter(), 2 * 10'000'000);
  EXPECT_LT(counter.Counter(), 3 * 10'000'000);
}

// Asked for 8 kHz 8-bit mono, the microphone converts its file: 2 s of it,
// whether the pin is connected directly or the capture graph builder finds
// it by its category (and its IAMStreamConfig with it) and renders it.
TEST_F(MicrophoneCapture, OtherFormatIsCapturedConverted) {
  ScopedMicrophoneFile heard((root_ / "heard.wav").string());
  for (const bool builder : {false, true}) {
    SCOPED_TRACE(builder ? "capture graph builder" : "direct");
    const std::string name = builder ? "built.wav" : "small.wav";
    const media::avi::WavFile wav = Capture(name, false, PcmFormat{8000, 1, 8}, builder);
    ASSERT_GE(wav.format.size(), 16u);
    EXPECT_EQ(wav.format[2], 1);   // one channel
    EXPECT_EQ(wav.format[14], 8);  // bits
    EXPECT_NEAR(static_cast<double>(wav.dataSize), 16000.0, 1.0);
  }
}

}  // namespace
}  // namespace ksv::simcam::testing
