// The converter as the registered plug-in, in graphs: configuration,
// connection rules, the plan, streaming through the re-blocking pin, the
// page's window told of streaming, and insertion by the filter mapper.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <optional>

#include "include/trsmplrt.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/property_page.h"
#include "platform/media/base/streams.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/ui/ui.h"
#include "resampler/audio_types.h"
#include "resampler/plan_info.h"
#include "testing/allocation_counter.h"

namespace ksv::resampler {
namespace {

using ksv::com::ComPtr;
using namespace ksv::media::testing;

// A sound renderer stand-in that takes one PCM format only and keeps what
// it gets.
class PcmSink;
class PcmSinkPin final : public CBaseInputPin {
 public:
  PcmSinkPin(PcmSink* sink, CCritSec* lock, HRESULT* result);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;

 private:
  PcmSink* sink_;
};

class PcmSink final : public CBaseFilter {
 public:
  explicit PcmSink(PcmFormat wanted)
      : CBaseFilter("pcm sink", nullptr, &lock_, CLSID_NULL), wanted_(wanted) {
    HRESULT result = S_OK;
    pin_ = new PcmSinkPin(this, &lock_, &result);
  }
  ~PcmSink() override { delete pin_; }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? pin_ : nullptr; }

  std::vector<int16_t> Samples() {
    std::lock_guard<std::mutex> hold(mutex_);
    return samples_;
  }
  std::vector<LONG> Lengths() {
    std::lock_guard<std::mutex> hold(mutex_);
    return lengths_;
  }
  std::vector<REFERENCE_TIME> Starts() {
    std::lock_guard<std::mutex> hold(mutex_);
    return starts_;
  }
  bool WaitForEnd() { return ended_.Wait(20000); }
  // The next Receive waits until LetGo: a slow renderer downstream.
  void HoldNext() { hold_ = true; }
  bool WaitUntilHeld() { return held_.Wait(20000); }
  void LetGo() { gate_.Set(); }

 private:
  friend class PcmSinkPin;
  CCritSec lock_;
  PcmSinkPin* pin_;
  PcmFormat wanted_;
  CAMEvent ended_{TRUE};
  std::atomic<bool> hold_{false};
  CAMEvent held_{TRUE};
  CAMEvent gate_{TRUE};
  std::mutex mutex_;
  std::vector<int16_t> samples_;
  std::vector<LONG> lengths_;
  std::vector<REFERENCE_TIME> starts_;
};

PcmSinkPin::PcmSinkPin(PcmSink* sink, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("pcm sink input", sink, lock, result, u"In"), sink_(sink) {}

HRESULT PcmSinkPin::CheckMediaType(const CMediaType* type) {
  const std::optional<PcmFormat> format = PcmFormatOf(*type);
  if (!format || format->rate != sink_->wanted_.rate || format->channels != sink_->wanted_.channels ||
      format->bits != sink_->wanted_.bits || CheckPcmInput(*type) != S_OK) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT PcmSinkPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = sample->GetActualDataLength();
  REFERENCE_TIME start = -1, stop = 0;
  sample->GetTime(&start, &stop);
  if (sink_->hold_.exchange(false)) {
    sink_->held_.Set();
    sink_->gate_.Wait(20000);
  }
  std::lock_guard<std::mutex> hold(sink_->mutex_);
  sink_->lengths_.push_back(length);
  sink_->starts_.push_back(start);
  for (LONG i = 0; i + 1 < length; i += 2) {
    sink_->samples_.push_back(static_cast<int16_t>(data[i] | (data[i + 1] << 8)));
  }
  return S_OK;
}

HRESULT PcmSinkPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
  sink_->ended_.Set();
  return result;
}

// 16-bit mono sine at `hz` of `frames` frames, as little-endian bytes.
std::vector<uint8_t> Sine(int rate, double hz, size_t frames, double amplitude = 10000) {
  std::vector<uint8_t> bytes(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const auto value = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
    bytes[2 * i] = static_cast<uint8_t>(value & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  }
  return bytes;
}

double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / double(to - from));
}

class ConverterGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_SampleRateConverter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(converter_.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(converter_.As(&config_), S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);
    graph_->AddFilter(converter_.Get(), u"Converter");
  }
  void TearDown() override {
    if (control_) control_->Stop();
    graph_ = nullptr;
  }

  PushPin* AddSource(const std::vector<uint8_t>& sound, int rate, int channels, int bits, size_t chunk) {
    source_ = ComPtr<PushSource>::Adopt(Counted(new PushSource()));
    const WORD align = static_cast<WORD>(channels * bits / 8);
    PushPin* pin = source_->AddStream(
        AudioType(1, static_cast<WORD>(channels), static_cast<DWORD>(rate), DWORD(rate) * align, align,
                  static_cast<WORD>(bits)),
        SoundSamples(sound, chunk, DWORD(rate) * align));
    graph_->AddFilter(source_.Get(), u"Source");
    return pin;
  }
  PcmSink* AddSink(PcmFormat wanted) {
    sink_ = ComPtr<PcmSink>::Adopt(Counted(new PcmSink(wanted)));
    graph_->AddFilter(sink_.Get(), u"Sink");
    return sink_.Get();
  }
  ComPtr<IPin> In() { return FirstPin(converter_.Get(), PINDIR_INPUT); }
  ComPtr<IPin> Out() { return FirstPin(converter_.Get(), PINDIR_OUTPUT); }
  void RunToEnd() {
    graph_.As(&control_);
    ComPtr<IMediaEventEx> events;
    graph_.As(&events);
    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_TRUE(sink_->WaitForEnd());
  }

  PluginRoot root_{{"trsmplrt.so"}};
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> converter_;
  ComPtr<ISampleRateConfig> config_;
  ComPtr<PushSource> source_;
  ComPtr<PcmSink> sink_;
  ComPtr<IMediaControl> control_;
};

TEST_F(ConverterGraph, AnUnconnectedFilterTakesTheClipGraphsSettingsAndKeepsItsDocumentedFace) {
  LONG rate = 0, negotiate = -1;
  SHORT channels = 0, bits = 0;
  ASSERT_EQ(config_->GetRate(&rate), S_OK);
  ASSERT_EQ(config_->GetChannels(&channels), S_OK);
  ASSERT_EQ(config_->GetBitsPerSample(&bits), S_OK);
  ASSERT_EQ(config_->GetDefaultNegotiation(&negotiate), S_OK);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(negotiate, 0);
  // What the clip download sets, in its order.
  EXPECT_EQ(config_->SetDefaultNegotiation(0), S_OK);
  EXPECT_EQ(config_->SetChannels(1), S_OK);
  EXPECT_EQ(config_->SetBitsPerSample(16), S_OK);
  EXPECT_EQ(config_->SetRate(11025), S_OK);
  config_->GetRate(&rate);
  EXPECT_EQ(rate, 11025);
  EXPECT_EQ(config_->GetRate(nullptr), E_INVALIDARG);
  EXPECT_EQ(config_->GetChannels(nullptr), E_INVALIDARG);
  EXPECT_EQ(config_->GetBitsPerSample(nullptr), E_INVALIDARG);
  EXPECT_EQ(config_->GetMerit(nullptr), E_POINTER);
  LONG stopped = 0;
  EXPECT_EQ(config_->IsStopped(&stopped), S_OK);
  EXPECT_EQ(stopped, 1);
  EXPECT_EQ(config_->Reconnect(), E_POINTER) << "no output connection to redo";

  // Pins by name and identifier.
  ComPtr<IPin> in;
  ASSERT_EQ(converter_->FindPin(u"In", in.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(in.Get(), In().Get());
  PIN_INFO info{};
  In()->QueryPinInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"Input");
  info.pFilter->Release();
  Out()->QueryPinInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"Output");
  info.pFilter->Release();
  LPWSTR id = nullptr;
  ASSERT_EQ(Out()->QueryId(&id), S_OK);
  EXPECT_EQ(std::u16string(id), u"Out");
  CoTaskMemFree(id);

  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(converter_.As(&pages), S_OK);
  CAUUID ids{};
  ASSERT_EQ(pages->GetPages(&ids), S_OK);
  ASSERT_EQ(ids.cElems, 1u);
  EXPECT_TRUE(ids.pElems[0] == CLSID_SampleRateConverterPage);
  CoTaskMemFree(ids.pElems);
}

TEST_F(ConverterGraph, ConvertsFortyEightToFortyFourThousandInFixedBlocksAndEndsWithTheInput) {
  // 0.252 s of a 1 kHz tone in samples that are no multiple of the block.
  const size_t frames = 12100;
  PushPin* source = AddSource(Sine(48000, 1000, frames), 48000, 1, 16, 1000);
  PcmSink* sink = AddSink({44100, 1, 16});
  config_->SetRate(44100);
  ASSERT_EQ(graph_->ConnectDirect(source, In().Get(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(Out().Get(), sink->GetPin(0), nullptr), S_OK);

  ComPtr<IResamplePlanInfo> info;
  ASSERT_EQ(converter_.As(&info), S_OK);
  ResamplePlan plan;
  ASSERT_EQ(info->GetPlan(&plan), S_OK);
  // The plan's tables are copied out: out of memory is a failure code.
  ResamplePlan unread;
  ksv::testing::FailAllocations(true);
  const HRESULT copied = info->GetPlan(&unread);
  ksv::testing::FailAllocations(false);
  EXPECT_EQ(copied, E_OUTOFMEMORY);
  EXPECT_EQ(plan.conversionType, ConversionType::kPolyphase);
  EXPECT_EQ(plan.L, 294);
  EXPECT_EQ(plan.M, 320);
  EXPECT_EQ(plan.inFrames, 480) << "10 ms blocks";
  EXPECT_EQ(plan.outFrames, 441);
  ComPtr<IMemAllocator> allocator;
  ComPtr<IMemInputPin> sinkInput;
  sink->GetPin(0)->QueryInterface(IID_PPV_ARGS(sinkInput.ReleaseAndGetAddressOf()));
  ASSERT_EQ(sinkInput->GetAllocator(allocator.ReleaseAndGetAddressOf()), S_OK);
  ALLOCATOR_PROPERTIES properties{};
  allocator->GetProperties(&properties);
  EXPECT_EQ(properties.cbBuffer, 882);
  EXPECT_EQ(properties.cBuffers, 30) << "300 ms of output";

  RunToEnd();
  const size_t blocks = (frames + 479) / 480;  // 26: the last one padded
  const std::vector<LONG> lengths = sink->Lengths();
  ASSERT_EQ(lengths.size(), blocks);
  for (size_t n = 0; n + 1 < blocks; ++n) EXPECT_EQ(lengths[n], 882) << "block " << n;
  // The last block holds 100 frames of sound: 92 frames (91.9) come out,
  // not the 441 of a whole block, so the output is as long as the input.
  EXPECT_EQ(lengths.back(), 92 * 2);
  const std::vector<REFERENCE_TIME> starts = sink->Starts();
  EXPECT_EQ(starts[1], 100000) << "the second block starts 10 ms in";
  // Block 3 starts at byte 2880, 880 bytes into the third sample (at
  // 2000 bytes, 20.83 ms): 9 whole milliseconds after that sample's start.
  EXPECT_EQ(starts[3], 208333 + 90000) << "timed from the sample its first byte came in";
  const std::vector<int16_t> out = sink->Samples();
  EXPECT_NEAR(Rms(out, 2000, 10000), 10000 / std::sqrt(2.0), 300) << "the tone comes through";
  int64_t produced = 0;
  ASSERT_EQ(info->GetProducedDuration(&produced), S_OK);
  EXPECT_EQ(produced, int64_t(blocks - 1) * 100000 + 184 * 10'000'000 / 88200);
}

TEST_F(ConverterGraph, RefusesWhatItCannotConvertAndAnotherConverterUpstream) {
  PushPin* tooFast = AddSource(Sine(96000, 1000, 960), 96000, 1, 16, 960);
  EXPECT_EQ(graph_->ConnectDirect(tooFast, In().Get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);

  PushPin* source = AddSource(Sine(22050, 1000, 2205), 22050, 1, 16, 441);
  ASSERT_EQ(graph_->ConnectDirect(source, In().Get(), nullptr), S_OK);
  EXPECT_TRUE(FAILED(graph_->ConnectDirect(Out().Get(), AddSink({22050, 1, 16})->GetPin(0), nullptr)))
      << "nothing to convert: output as input";
  EXPECT_EQ(graph_->ConnectDirect(Out().Get(), AddSink({44100, 1, 16})->GetPin(0), nullptr),
            VFW_E_NO_ACCEPTABLE_TYPES)
      << "only the configured format while negotiation is off";
  config_->SetDefaultNegotiation(1);
  ASSERT_EQ(graph_->ConnectDirect(Out().Get(), sink_->GetPin(0), nullptr), S_OK);
  LONG rate = 0;
  config_->GetRate(&rate);
  EXPECT_EQ(rate, 44100) << "the negotiated format becomes the configured one";

  ComPtr<IBaseFilter> second;
  ASSERT_EQ(CoCreateInstance(CLSID_SampleRateConverter, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(second.ReleaseAndGetAddressOf())),
            S_OK);
  graph_->AddFilter(second.Get(), u"Second");
  graph_->Disconnect(Out().Get());
  graph_->Disconnect(sink_->GetPin(0));
  config_->SetDefaultNegotiation(0);
  config_->SetRate(22050);
  config_->SetChannels(2);
  EXPECT_EQ(graph_->ConnectDirect(Out().Get(), FirstPin(second.Get(), PINDIR_INPUT).Get(), nullptr),
            E_UNEXPECTED);
}

// A flush that begins while a cut block is delivered stops the cutting
// pass: the blocks after it are not sent.
TEST_F(ConverterGraph, AFlushStopsACuttingPassWithEAbort) {
  source_ = ComPtr<PushSource>::Adopt(Counted(new PushSource()));
  // One empty sample, so the source has a buffer size to ask for.
  PushPin* source = source_->AddStream(AudioType(1, 1, 48000, 96000, 2, 16),
                                       {TestSample{std::vector<uint8_t>(2), 0, 0, false}}, AfterLast::kHold);
  graph_->AddFilter(source_.Get(), u"Source");
  PcmSink* sink = AddSink({44100, 1, 16});
  config_->SetRate(44100);
  ASSERT_EQ(graph_->ConnectDirect(source, In().Get(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(Out().Get(), sink->GetPin(0), nullptr), S_OK);
  graph_.As(&control_);
  ASSERT_EQ(control_->Pause(), S_OK);
  for (int wait = 0; wait < 2000 && source->sent() < 1; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(source->sent(), 1u) << "one upstream thread at a time";

  // Three and a half blocks of 960 bytes in one sample of our own.
  HRESULT result = S_OK;
  auto* allocator = new CMemAllocator("test", nullptr, &result);
  allocator->NonDelegatingAddRef();
  ALLOCATOR_PROPERTIES request{1, 3360, 1, 0}, actual{};
  ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  sample->SetActualDataLength(3360);
  ComPtr<IMemInputPin> input;
  ASSERT_EQ(In().As(&input), S_OK);

  sink->HoldNext();
  HRESULT received = S_OK;
  std::thread upstream([&] { received = input->Receive(sample); });
  ASSERT_TRUE(sink->WaitUntilHeld());
  EXPECT_EQ(In()->BeginFlush(), S_OK);
  sink->LetGo();
  upstream.join();
  EXPECT_EQ(received, E_ABORT);
  EXPECT_EQ(sink->Lengths().size(), 1u) << "only the block under way when the flush began";
  EXPECT_EQ(In()->EndFlush(), S_OK);
  sample->Release();
  control_->Stop();
  allocator->Decommit();
  allocator->NonDelegatingRelease();
}

// The page's window learns when the output streams, and Reconnect waits
// for a stop.
TEST_F(ConverterGraph, TellsThePagesWindowWhenTheOutputStartsAndStops) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "ConverterTestPage";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "ConverterTestPage", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(config_->SetPageWindow(window), S_OK);
  PushPin* source = AddSource(Sine(11025, 500, 11025), 11025, 1, 16, 2205);
  config_->SetRate(44100);
  ASSERT_EQ(graph_->ConnectDirect(source, In().Get(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(Out().Get(), AddSink({44100, 1, 16})->GetPin(0), nullptr), S_OK);
  RunToEnd();
  LONG stopped = 1;
  config_->IsStopped(&stopped);
  EXPECT_EQ(stopped, 0);
  EXPECT_EQ(config_->Reconnect(), static_cast<HRESULT>(0x80028029u));
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_EQ(config_->Reconnect(), S_OK);
  EXPECT_EQ(sink_->GetPin(0)->IsConnected(), TRUE) << "reconnected with the same format";

  std::vector<LPARAM> told;
  MSG message{};
  while (PeekMessageA(&message, window, kSampleRateStreamingMessage, kSampleRateStreamingMessage,
                      PM_REMOVE)) {
    told.push_back(message.lParam);
  }
  EXPECT_EQ(told, (std::vector<LPARAM>{0, 1}));
  config_->SetPageWindow(nullptr);
  DestroyWindow(window);
}

// Registered with MERIT_DO_NOT_USE, the converter is found by name but
// never inserted; a raised merit under its class key lets Connect use it.
TEST_F(ConverterGraph, IsInsertedByConnectOnceItsMeritIsRaised) {
  PushPin* source = AddSource(Sine(44100, 1000, 4410), 44100, 2, 16, 4410);
  PcmSink* sink = AddSink({22050, 1, 16});
  graph_->RemoveFilter(converter_.Get());
  EXPECT_TRUE(FAILED(graph_->Connect(source, sink->GetPin(0))));
  DWORD merit = 0;
  EXPECT_TRUE(FAILED(config_->GetMerit(&merit))) << "no merit of its own yet";

  ASSERT_EQ(config_->SetMerit(0x00600001), S_OK);
  ASSERT_EQ(config_->GetMerit(&merit), S_OK);
  EXPECT_EQ(merit, 0x00600001u);
  ASSERT_EQ(graph_->Connect(source, sink->GetPin(0)), S_OK);
  ComPtr<IPin> upstream;
  ASSERT_EQ(sink->GetPin(0)->ConnectedTo(upstream.ReleaseAndGetAddressOf()), S_OK);
  PIN_INFO info{};
  upstream->QueryPinInfo(&info);
  CLSID clsid{};
  info.pFilter->GetClassID(&clsid);
  info.pFilter->Release();
  EXPECT_TRUE(clsid == CLSID_SampleRateConverter) << "the converter was put in between";
}

}  // namespace
}  // namespace ksv::resampler
