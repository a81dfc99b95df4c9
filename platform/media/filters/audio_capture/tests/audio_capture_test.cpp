// The audio capture filter over a microphone the test plugs in: found and
// made through the system device enumerator, its pin's category, formats
// and buffers, and its stream: every frame, stamped from the frame count,
// paced by the graph's clock on a simulated counter or as fast as it can
// without one, and a stop that frees a thread waiting for the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/com/property_bag.h"
#include "platform/hardware/device_list.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/buffer_negotiation.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/audio_capture/pcm_media_type.h"
#include "platform/media/filters/audio_capture/tests/test_microphone.h"
#include "platform/media/filters/common/tests/parser_test_support.h"
#include "platform/media/ks_property_set.h"
#include "platform/media/media.h"
#include "platform/media/testing/bind_device.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::filters::testing {
namespace {

using com::ComPtr;
using platform::audio::PcmFormat;
namespace kernel = platform::kernel;

constexpr REFERENCE_TIME kMillisecond = 10'000;

// The filter bound from the audio input category's moniker named `name`.
ComPtr<IBaseFilter> BindDevice(const std::u16string& name, HRESULT* bound = nullptr) {
  return media::testing::BindDevice(CLSID_AudioInputDeviceCategory, name, bound);
}

ComPtr<IPin> CapturePin(IBaseFilter* filter) {
  ComPtr<IPin> pin;
  filter->FindPin(u"Capture", pin.GetAddressOf());
  return pin;
}

std::optional<PcmFormat> FormatOfType(AM_MEDIA_TYPE* type) {
  std::optional<PcmFormat> format;
  if (type != nullptr) format = PcmFormatOf(*type);
  DeleteMediaType(type);
  return format;
}

class AudioCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    platform::hardware::PlugDevice(&microphone_);
    platform::hardware::PlugDevice(&endless_);
  }
  void TearDown() override {
    if (control_) control_->Stop();
    control_ = nullptr;
    graph_ = nullptr;
    platform::hardware::UnplugDevice(&microphone_);
    platform::hardware::UnplugDevice(&endless_);
  }

  // A graph of the named microphone and a recording sink; `clock` false
  // takes the graph's clock away.
  RecordingSink* Capture(const std::u16string& name, bool clock,
                         const std::optional<PcmFormat>& format = std::nullopt) {
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.ReleaseAndGetAddressOf())),
              S_OK);
    source_ = BindDevice(name);
    EXPECT_TRUE(source_);
    if (!source_) return nullptr;
    sink_ = ComPtr<RecordingSink>::Adopt(RecordingSink::Make());
    graph_->AddFilter(source_.Get(), u"Microphone");
    graph_->AddFilter(sink_.Get(), u"Sink");
    if (format) {
      ComPtr<IAMStreamConfig> config;
      CapturePin(source_.Get()).As(&config);
      CMediaType type;
      PcmMediaType(*format, &type);
      EXPECT_EQ(config->SetFormat(&type), S_OK);
    }
    EXPECT_EQ(graph_->ConnectDirect(CapturePin(source_.Get()).Get(), sink_->Input(), nullptr),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    if (!clock) media->SetSyncSource(nullptr);
    graph_.As(&control_);
    graph_.As(&events_);
    return sink_.Get();
  }

  media::testing::PluginRoot root_{{"ksvaudiocapture.so"}};
  TestMicrophone microphone_{"Test Microphone", 8000 * 5 / 2};  // 2.5 s at 8 kHz
  TestMicrophone endless_{"Endless Microphone", 0};
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> source_;
  ComPtr<RecordingSink> sink_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
};

TEST_F(AudioCapture, DeviceEnumeratorMakesTheFilterOfTheNamedMicrophone) {
  HRESULT bound = E_FAIL;
  ComPtr<IBaseFilter> filter = BindDevice(u"Test Microphone", &bound);
  ASSERT_TRUE(filter);
  EXPECT_EQ(bound, S_OK);
  CLSID clsid{};
  ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_AudioRecord);
  ComPtr<IPin> pin = CapturePin(filter.Get());
  ASSERT_TRUE(pin);
  PIN_DIRECTION direction = PINDIR_INPUT;
  pin->QueryDirection(&direction);
  EXPECT_EQ(direction, PINDIR_OUTPUT);
  // Its own device: the default format is the microphone's.
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(pin.As(&config), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(config->GetFormat(&type), S_OK);
  EXPECT_EQ(FormatOfType(type), (PcmFormat{8000, 1, 16}));
  // Loaded through its moniker, the filter offers its persistence.
  ComPtr<IPersistPropertyBag> persist;
  ASSERT_EQ(filter.As(&persist), S_OK);
  EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);

  // Made without a moniker, the filter has no device and nothing to offer.
  ComPtr<IBaseFilter> bare;
  ASSERT_EQ(CoCreateInstance(CLSID_AudioRecord, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(bare.GetAddressOf())),
            S_OK);
  ComPtr<IAMStreamConfig> bareConfig;
  ASSERT_EQ(CapturePin(bare.Get()).As(&bareConfig), S_OK);
  EXPECT_EQ(bareConfig->GetFormat(&type), VFW_E_NO_CAPTURE_HARDWARE);
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(CapturePin(bare.Get())->EnumMediaTypes(types.GetAddressOf()), S_OK);
  AM_MEDIA_TYPE* offered = nullptr;
  EXPECT_NE(types->Next(1, &offered, nullptr), S_OK);
}

// A microphone pulled out after the category was read binds to nothing.
TEST_F(AudioCapture, UnpluggedMicrophoneCannotBeBound) {
  ComPtr<ICreateDevEnum> devices;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(devices.GetAddressOf())),
            S_OK);
  ComPtr<IEnumMoniker> each;
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, each.GetAddressOf(), 0),
            S_OK);
  IMoniker* monikers[2] = {};
  ULONG fetched = 0;
  ASSERT_EQ(each->Next(2, monikers, &fetched), S_OK);
  ASSERT_EQ(fetched, 2u);  // sorted: "Endless Microphone", "Test Microphone"
  auto endless = ComPtr<IMoniker>::Adopt(monikers[0]);
  auto test = ComPtr<IMoniker>::Adopt(monikers[1]);
  platform::hardware::UnplugDevice(&microphone_);
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(test->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter.GetAddressOf())),
            VFW_E_NO_CAPTURE_HARDWARE);
  EXPECT_EQ(endless->BindToObject(nullptr, nullptr, IID_PPV_ARGS(filter.GetAddressOf())), S_OK);
}

TEST_F(AudioCapture, PinSaysItIsTheCapturePin) {
  ComPtr<IBaseFilter> filter = BindDevice(u"Test Microphone");
  ASSERT_TRUE(filter);
  ComPtr<IKsPropertySet> properties;
  ASSERT_EQ(CapturePin(filter.Get()).As(&properties), S_OK);
  GUID category = GUID_NULL;
  DWORD returned = 0;
  // The size first, as callers ask for it.
  EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0,
                            &returned),
            S_OK);
  EXPECT_EQ(returned, sizeof(GUID));
  returned = 0;
  ASSERT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                            sizeof(category), &returned),
            S_OK);
  EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
  EXPECT_EQ(returned, sizeof(GUID));
  EXPECT_NE(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 8,
                            &returned),
            S_OK);
  EXPECT_EQ(properties->Get(PIN_CATEGORY_PREVIEW, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                            sizeof(category), &returned),
            E_PROP_SET_UNSUPPORTED);
  EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &category,
                            sizeof(category), &returned),
            E_PROP_ID_UNSUPPORTED);
  DWORD support = 0;
  ASSERT_EQ(properties->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
  EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
  GUID preview = PIN_CATEGORY_PREVIEW;
  EXPECT_TRUE(FAILED(properties->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0,
                                     &preview, sizeof(preview))));
}

// The capabilities cover the microphone's range; a format set through
// IAMStreamConfig is what the pin offers and accepts from then on, and a
// connected pin is connected again in it.
TEST_F(AudioCapture, StreamConfigChangesWhatThePinOffers) {
  ComPtr<IBaseFilter> filter = BindDevice(u"Test Microphone");
  ASSERT_TRUE(filter);
  ComPtr<IPin> pin = CapturePin(filter.Get());
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(pin.As(&config), S_OK);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(size, static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)));
  ASSERT_EQ(count, 21);  // the current format, then 5 rates x 2 channel counts x 2 sizes
  std::vector<PcmFormat> listed;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* type = nullptr;
    AUDIO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
    const auto format = FormatOfType(type);
    ASSERT_TRUE(format);
    listed.push_back(*format);
    EXPECT_EQ(caps.MinimumSampleFrequency, 8000u);
    EXPECT_EQ(caps.MaximumSampleFrequency, 48000u);
    EXPECT_EQ(caps.MinimumChannels, 1u);
    EXPECT_EQ(caps.MaximumChannels, 2u);
    EXPECT_EQ(caps.MinimumBitsPerSample, 8u);
    EXPECT_EQ(caps.MaximumBitsPerSample, 16u);
  }
  EXPECT_EQ(listed[0], (PcmFormat{8000, 1, 16}));
  EXPECT_EQ(listed[1], (PcmFormat{48000, 2, 16}));
  EXPECT_EQ(listed[20], (PcmFormat{8000, 1, 8}));
  AM_MEDIA_TYPE* type = nullptr;
  AUDIO_STREAM_CONFIG_CAPS caps{};
  EXPECT_EQ(config->GetStreamCaps(count, &type, reinterpret_cast<BYTE*>(&caps)), S_FALSE);
  EXPECT_EQ(config->GetStreamCaps(-1, &type, reinterpret_cast<BYTE*>(&caps)), E_INVALIDARG);

  // Formats outside the range and types that are not PCM are refused.
  CMediaType wanted;
  for (const PcmFormat& bad : {PcmFormat{96000, 2, 16}, PcmFormat{8000, 4, 16},
                               PcmFormat{8000, 1, 24}}) {
    PcmMediaType(bad, &wanted);
    EXPECT_EQ(config->SetFormat(&wanted), VFW_E_INVALIDMEDIATYPE);
  }
  PcmMediaType({22050, 2, 8}, &wanted);
  CMediaType notPcm = wanted;
  notPcm.SetSubtype(&MEDIASUBTYPE_WAVE);
  EXPECT_EQ(config->SetFormat(&notPcm), VFW_E_INVALIDMEDIATYPE);
  reinterpret_cast<WAVEFORMATEX*>(wanted.Format())->nBlockAlign = 4;
  EXPECT_EQ(config->SetFormat(&wanted), VFW_E_INVALIDMEDIATYPE) << "inconsistent block size";

  PcmMediaType({22050, 2, 8}, &wanted);
  ASSERT_EQ(config->SetFormat(&wanted), S_OK);
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types.GetAddressOf()), S_OK);
  AM_MEDIA_TYPE* offered = nullptr;
  ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
  EXPECT_EQ(FormatOfType(offered), (PcmFormat{22050, 2, 8}));
  ASSERT_EQ(config->GetFormat(&type), S_OK);
  EXPECT_EQ(FormatOfType(type), (PcmFormat{22050, 2, 8}));
  CMediaType other;
  PcmMediaType({44100, 2, 16}, &other);
  EXPECT_NE(pin->QueryAccept(&other), S_OK) << "only the format set is taken";
  EXPECT_EQ(pin->QueryAccept(&wanted), S_OK);

  // Connected, a new format reconnects the pin in it.
  RecordingSink* sink = Capture(u"Test Microphone", false);
  ASSERT_NE(sink, nullptr);
  ComPtr<IAMStreamConfig> connected;
  ASSERT_EQ(CapturePin(source_.Get()).As(&connected), S_OK);
  EXPECT_EQ(PcmFormatOf(sink->ConnectionType()), (PcmFormat{8000, 1, 16}));
  PcmMediaType({44100, 2, 16}, &wanted);
  ASSERT_TRUE(SUCCEEDED(connected->SetFormat(&wanted)));
  EXPECT_EQ(PcmFormatOf(sink->ConnectionType()), (PcmFormat{44100, 2, 16}));
  ASSERT_EQ(control_->Run(), S_OK);
  EXPECT_EQ(connected->SetFormat(&wanted), VFW_E_NOT_STOPPED);
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(10000, &code), S_OK)
      << sink->Samples().size() << " samples, " << sink->EndsOfStream() << " ends";
  EXPECT_EQ(microphone_.lastFormat(), (PcmFormat{44100, 2, 16}));
  EXPECT_EQ(sink->Bytes().size(), 8000u * 5 / 2 * 4);
}

// Without a clock every frame arrives at once, in ~50 ms buffers stamped
// from the frames before them, then the end of the stream; the simulated
// counter never moves.
TEST_F(AudioCapture, WithoutAClockEverythingArrivesAtOnceStampedByFrameCount) {
  kernel::SimulatedPerformanceCounter counter(10'000'000, 5'000'000, false);
  kernel::ScopedPerformanceCounter installed(counter);
  RecordingSink* sink = Capture(u"Test Microphone", false, PcmFormat{8000, 2, 16});
  ASSERT_NE(sink, nullptr);
  ASSERT_TRUE(SUCCEEDED(control_->Run()));
  LONG code = 0;
  ASSERT_EQ(events_->WaitForCompletion(10000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(counter.Counter(), 5'000'000);
  const auto samples = sink->Samples();
  ASSERT_EQ(samples.size(), 50u);  // 2.5 s in 50 ms buffers
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(samples[i].size, 400 * 4);
    EXPECT_TRUE(samples[i].hasTime);
    EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * 50 * kMillisecond);
    EXPECT_EQ(samples[i].stop, static_cast<REFERENCE_TIME>(i + 1) * 50 * kMillisecond);
    EXPECT_TRUE(samples[i].syncPoint);
  }
  const auto bytes = sink->Bytes();
  ASSERT_EQ(bytes.size(), 8000u * 5 / 2 * 4);
  for (size_t frame = 0; frame < bytes.size() / 4; ++frame) {
    for (int channel = 0; channel < 2; ++channel) {
      const size_t at = frame * 4 + static_cast<size_t>(channel) * 2;
      ASSERT_EQ(int16_t(bytes[at] | (bytes[at + 1] << 8)), PatternSample(frame, channel))
          << frame;
    }
  }
  EXPECT_EQ(sink->EndsOfStream(), 1);
}

// With the graph's clock on a counter only the test moves, a buffer leaves
// once the clock has passed its end; paused, nothing leaves; a stop frees
// the thread waiting for the next one at once.
TEST_F(AudioCapture, ClockPacesTheBuffersAndStopFreesTheWaitingThread) {
  kernel::SimulatedPerformanceCounter counter(10'000'000, 5'000'000, false);
  kernel::ScopedPerformanceCounter installed(counter);
  RecordingSink* sink = Capture(u"Endless Microphone", true);
  ASSERT_NE(sink, nullptr);
  const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(40)); };
  const auto waitFor = [&](size_t count) {
    for (int i = 0; i < 1000 && sink->Samples().size() < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return sink->Samples().size();
  };
  ASSERT_TRUE(SUCCEEDED(control_->Pause()));
  OAFilterState state = 0;
  EXPECT_EQ(control_->GetState(0, &state), VFW_S_CANT_CUE) << "a live source cues nothing";
  EXPECT_EQ(state, State_Paused);
  settle();
  EXPECT_EQ(sink->Samples().size(), 0u);
  ASSERT_TRUE(SUCCEEDED(control_->Run()));
  settle();
  EXPECT_EQ(sink->Samples().size(), 0u) << "the first 50 ms have not passed";
  counter.Advance(120 * 10'000);  // 120 ms
  EXPECT_EQ(waitFor(2), 2u);
  settle();
  EXPECT_EQ(sink->Samples().size(), 2u) << "the third buffer ends at 150 ms";
  counter.Advance(30 * 10'000);
  EXPECT_EQ(waitFor(3), 3u);
  const auto samples = sink->Samples();
  EXPECT_EQ(samples[2].start, 100 * kMillisecond);
  EXPECT_EQ(samples[2].stop, 150 * kMillisecond);
  // The thread waits for 200 ms, which never comes; Stop does not wait for it.
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_EQ(sink->EndsOfStream(), 0);
  EXPECT_EQ(sink->Samples().size(), 3u);
}

TEST_F(AudioCapture, BufferNegotiationSetsTheBuffers) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.GetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> filter = BindDevice(u"Test Microphone");
  ASSERT_TRUE(filter);
  ComPtr<IAMBufferNegotiation> negotiation;
  ASSERT_EQ(CapturePin(filter.Get()).As(&negotiation), S_OK);
  ALLOCATOR_PROPERTIES properties{};
  EXPECT_EQ(negotiation->GetAllocatorProperties(&properties), VFW_E_NO_ALLOCATOR);
  // 1001 bytes is no whole number of 2-byte frames: 1000 are used.
  const ALLOCATOR_PROPERTIES wanted{7, 1001, -1, -1};
  ASSERT_EQ(negotiation->SuggestAllocatorProperties(&wanted), S_OK);
  auto sink = ComPtr<RecordingSink>::Adopt(RecordingSink::Make());
  graph->AddFilter(filter.Get(), u"Microphone");
  graph->AddFilter(sink.Get(), u"Sink");
  ASSERT_EQ(graph->ConnectDirect(CapturePin(filter.Get()).Get(), sink->Input(), nullptr), S_OK);
  ASSERT_EQ(negotiation->GetAllocatorProperties(&properties), S_OK);
  EXPECT_EQ(properties.cBuffers, 7);
  EXPECT_EQ(properties.cbBuffer, 1000);
  EXPECT_EQ(negotiation->SuggestAllocatorProperties(&wanted), VFW_E_ALREADY_CONNECTED);
}

// A microphone that cannot give sound in the format fails the connection,
// not the run.
TEST_F(AudioCapture, MicrophoneThatCannotOpenFailsTheConnection) {
  microphone_.FailOpening(true);
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.GetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> filter = BindDevice(u"Test Microphone");
  ASSERT_TRUE(filter);
  auto sink = ComPtr<RecordingSink>::Adopt(RecordingSink::Make());
  graph->AddFilter(filter.Get(), u"Microphone");
  graph->AddFilter(sink.Get(), u"Sink");
  EXPECT_EQ(graph->ConnectDirect(CapturePin(filter.Get()).Get(), sink->Input(), nullptr),
            VFW_E_NO_CAPTURE_HARDWARE);
  ComPtr<IPin> peer;
  EXPECT_EQ(CapturePin(filter.Get())->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);
}

}  // namespace
}  // namespace ksv::media::filters::testing
