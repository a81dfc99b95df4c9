// The download source filter: as the registered plug-in, and in a graph
// that writes a prepared clip through the AVI Mux and the File writer.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "camapi/clip_samples.h"
#include "camapi/tests/camapi_test_support.h"
#include "camapi/tests/clip_test_support.h"
#include "dlfilter/download_source.h"
#include "include/dextro.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/allocation_counter.h"

namespace ksv::dlfilter {
namespace {

using camapi::testing::AttachedClip;
using camapi::testing::BandedFrames;
using camapi::testing::ToneClip;
using camapi::testing::ToneWav;
using ksv::com::ComPtr;
using media::avi::test::ProbeValue;

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

// The `index`-th pin of `direction`.
ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
  ComPtr<IEnumPins> pins;
  filter->EnumPins(pins.ReleaseAndGetAddressOf());
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    auto held = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION its{};
    pin->QueryDirection(&its);
    if (its == direction && index-- == 0) return held;
  }
  return nullptr;
}

// Processor time this process has used, in milliseconds.
double ProcessMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A sink whose input insists on its own allocator, which grants buffers of
// at most `cap` bytes.
class CappedAllocator final : public CMemAllocator {
 public:
  CappedAllocator(LONG cap, HRESULT* result) : CMemAllocator("capped", nullptr, result), cap_(cap) {}
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES capped = *request;
    capped.cbBuffer = std::min<LONG>(capped.cbBuffer, cap_);
    return CMemAllocator::SetProperties(&capped, actual);
  }

 private:
  LONG cap_;
};

class CappedSink;
class CappedPin final : public CBaseInputPin {
 public:
  CappedPin(CBaseFilter* filter, CCritSec* lock, LONG cap, HRESULT* result)
      : CBaseInputPin("capped pin", filter, lock, result, u"In"), cap_(cap) {}
  HRESULT CheckMediaType(const CMediaType* /*type*/) override { return S_OK; }
  HRESULT GetAllocator(IMemAllocator** allocator) override {
    CAutoLock lock(m_pLock);
    if (m_pAllocator == nullptr) {
      HRESULT result = S_OK;
      auto* made = new CappedAllocator(cap_, &result);
      made->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&m_pAllocator));
    }
    *allocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
  }
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override {
    if (allocator != m_pAllocator) return E_FAIL;  // ours or none
    return CBaseInputPin::NotifyAllocator(allocator, readOnly);
  }

 private:
  LONG cap_;
};

class CappedSink final : public CBaseFilter {
 public:
  explicit CappedSink(LONG cap) : CBaseFilter("capped sink", nullptr, &lock_, CLSID_NULL) {
    HRESULT result = S_OK;
    pin_ = new CappedPin(this, &lock_, cap, &result);
  }
  ~CappedSink() override { delete pin_; }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? pin_ : nullptr; }

 private:
  CCritSec lock_;
  CappedPin* pin_;
};

class DownloadFilter : public camapi::testing::CamapiTest {
 protected:
  DownloadFilter() {
    UseMemory(camapi::testing::EmptyMemory());
    KXCAMAPI_HANDLE handle = Open();
    EXPECT_NE(handle, nullptr);
    context_ = handle;
  }
  ~DownloadFilter() override { camapi::ReleaseClipSamples(); }

  // The filter of this process's library, made as the plug-in makes it.
  ComPtr<IBaseFilter> LinkedFilter() {
    HRESULT result = E_FAIL;
    CUnknown* made = DownloadSourceFilter::CreateInstance(nullptr, &result);
    EXPECT_EQ(result, S_OK);
    ComPtr<IBaseFilter> filter;
    made->NonDelegatingQueryInterface(IBaseFilter::kIid,
                                      reinterpret_cast<void**>(filter.ReleaseAndGetAddressOf()));
    return filter;
  }

  media::testing::PluginRoot root_{{"ksvavimux.so", "ksvfilewriter.so", "Dextro.so"}};
  camapi::CameraContext* context_ = nullptr;
};

TEST_F(DownloadFilter, IsRegisteredAsDocumentedAndOffersNothingWithoutAPreparedClip) {
  ASSERT_TRUE(root_.ok()) << root_.error();
  com::InprocServer server;
  ASSERT_EQ(com::FindInprocServer(CLSID_DownloadSourceFilter, &server), S_OK);
  EXPECT_EQ(server.threadingModel, "Both");
  EXPECT_TRUE(server.path.ends_with("Dextro.so")) << server.path;
  bool listed = false;
  for (const auto& entry : media::registration::ReadCategory(CLSID_LegacyAmFilterCategory)) {
    if (!entry.clsid || *entry.clsid != CLSID_DownloadSourceFilter) continue;
    listed = true;
    EXPECT_EQ(entry.friendlyName, "Tarvio(tm) Download Optimization");
    ASSERT_TRUE(entry.data.has_value());
    EXPECT_EQ(entry.data->merit, 0x200000u);
    ASSERT_EQ(entry.data->pins.size(), 2u);
    EXPECT_TRUE(entry.data->pins[0].IsOutput() && entry.data->pins[1].IsOutput());
    EXPECT_FALSE(entry.data->pins[0].IsRendered() || entry.data->pins[1].IsRendered());
  }
  EXPECT_TRUE(listed);

  // Loaded by class identifier, the plug-in plays the clip of its own
  // library, where none is prepared: its pins have no type to connect with.
  ComPtr<IBaseFilter> filter, mux;
  ASSERT_EQ(CoCreateInstance(CLSID_DownloadSourceFilter, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(filter.ReleaseAndGetAddressOf())),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(mux.ReleaseAndGetAddressOf())),
            S_OK);
  ComPtr<IPin> video = PinOf(filter.Get(), PINDIR_OUTPUT, 0);
  ComPtr<IPin> audio = PinOf(filter.Get(), PINDIR_OUTPUT, 1);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(PinOf(filter.Get(), PINDIR_OUTPUT, 2), nullptr);
  // Out of memory, a run fails with a code and leaves the filter stopped.
  ksv::testing::FailAllocations(true);
  const HRESULT ran = filter->Run(0);
  ksv::testing::FailAllocations(false);
  EXPECT_EQ(ran, E_OUTOFMEMORY);
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  PIN_INFO info{};
  video->QueryPinInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"Video Stream");
  info.pFilter->Release();
  audio->QueryPinInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"Audio Stream");
  info.pFilter->Release();
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())),
            S_OK);
  graph->AddFilter(filter.Get(), nullptr);
  graph->AddFilter(mux.Get(), nullptr);
  EXPECT_TRUE(FAILED(graph->ConnectDirect(video.Get(), PinOf(mux.Get(), PINDIR_INPUT, 0).Get(),
                                          nullptr)));
}

TEST_F(DownloadFilter, AskTheLibraryForAPinsTypeOnceAndNotAfterAFailure) {
  ASSERT_TRUE(root_.ok()) << root_.error();
  ComPtr<IBaseFilter> filter = LinkedFilter();
  auto* source = dynamic_cast<CSource*>(filter.Get());
  ASSERT_NE(source, nullptr);
  CBasePin* video = source->GetPin(0);
  CBasePin* audio = source->GetPin(1);
  CMediaType type;
  EXPECT_EQ(audio->GetMediaType(0, &type), E_FAIL) << "nothing prepared yet";

  const auto item = ToneClip(BandedFrames(3, 320, 240), simcam::ClipSound::kAdpcm8000,
                             ToneWav(8000, 440, 0.3));
  AttachedClip clip(*context_, item, /*ksv=*/true);
  ASSERT_EQ(camapi::PrepareClipSamples(*context_), S_OK);
  CMediaType first;
  ASSERT_EQ(video->GetMediaType(0, &first), S_OK);
  ASSERT_EQ(audio->GetMediaType(0, &type), S_OK) << "a failure is not kept";
  camapi::ReleaseClipSamples();
  // The library has nothing now; the pins answer from what they kept.
  CMediaType again;
  ASSERT_EQ(video->GetMediaType(0, &again), S_OK);
  EXPECT_TRUE(again == first);
  EXPECT_EQ(again.FormatLength(), 1124u);
  EXPECT_EQ(audio->GetMediaType(0, &again), S_OK);
  EXPECT_EQ(again.FormatLength(), 18u);
}

TEST_F(DownloadFilter, RefusesAnAllocatorWhoseBuffersAreSmallerThanItsSamples) {
  ASSERT_TRUE(root_.ok()) << root_.error();
  const auto item = ToneClip(BandedFrames(3, 320, 240), simcam::ClipSound::kAdpcm8000,
                             ToneWav(8000, 440, 0.3));
  AttachedClip clip(*context_, item, /*ksv=*/true);
  ASSERT_EQ(camapi::PrepareClipSamples(*context_), S_OK);
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> source = LinkedFilter();
  graph->AddFilter(source.Get(), nullptr);
  struct Case {
    int pin;
    LONG cap;
    bool connects;
  };
  for (const Case& c : {Case{1, 8192, false}, Case{1, 16384, true}, Case{0, 230399, false},
                        Case{0, 230400, true}}) {
    SCOPED_TRACE(std::to_string(c.pin) + " " + std::to_string(c.cap));
    ComPtr<IBaseFilter> sink;
    sink.Attach(new CappedSink(c.cap));
    sink->AddRef();
    graph->AddFilter(sink.Get(), nullptr);
    ComPtr<IPin> out = PinOf(source.Get(), PINDIR_OUTPUT, c.pin);
    ComPtr<IPin> in = PinOf(sink.Get(), PINDIR_INPUT, 0);
    const HRESULT result = graph->ConnectDirect(out.Get(), in.Get(), nullptr);
    EXPECT_EQ(SUCCEEDED(result), c.connects) << std::hex << result;
    if (SUCCEEDED(result)) {
      graph->Disconnect(out.Get());
      graph->Disconnect(in.Get());
    }
    graph->RemoveFilter(sink.Get());
  }
}

// The graph the camera access library builds, without the encoder and the
// converter: the clip's frames and sound straight into an AVI file.
TEST_F(DownloadFilter, WritesAPreparedClipIntoAnAviFileAndRestsWhilePaused) {
  ASSERT_TRUE(root_.ok()) << root_.error();
  const auto item = ToneClip(BandedFrames(12, 320, 240), simcam::ClipSound::kAdpcm8000,
                             ToneWav(8000, 440, 1.2));
  AttachedClip clip(*context_, item, /*ksv=*/true);
  ASSERT_EQ(camapi::PrepareClipSamples(*context_), S_OK);

  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> mux, writer;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(mux.ReleaseAndGetAddressOf())),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(writer.ReleaseAndGetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> source = LinkedFilter();
  ComPtr<IMediaFilter> timing;
  graph.As(&timing);
  timing->SetSyncSource(nullptr);
  for (IBaseFilter* filter : {source.Get(), mux.Get(), writer.Get()}) {
    ASSERT_EQ(graph->AddFilter(filter, nullptr), S_OK);
  }
  const std::string path = (root_ / "clip.avi").string();
  ComPtr<IFileSinkFilter> sink;
  ASSERT_EQ(writer.As(&sink), S_OK);
  ASSERT_EQ(sink->SetFileName(Wide(path).c_str(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT, 0).Get(),
                                 PinOf(mux.Get(), PINDIR_INPUT, 0).Get(), nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT, 1).Get(),
                                 PinOf(mux.Get(), PINDIR_INPUT, 1).Get(), nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(mux.Get(), PINDIR_OUTPUT, 0).Get(),
                                 PinOf(writer.Get(), PINDIR_INPUT, 0).Get(), nullptr),
            S_OK);

  ComPtr<IMediaControl> control;
  ComPtr<IMediaEvent> events;
  ASSERT_EQ(graph.As(&control), S_OK);
  ASSERT_EQ(graph.As(&events), S_OK);
  // Paused: no sample is made, and the pins' threads sleep.
  const double before = ProcessMilliseconds();
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(context_->frameCounter, 0u);
  EXPECT_LT(ProcessMilliseconds() - before, 100) << "the paused pins spin";

  ASSERT_TRUE(SUCCEEDED(control->Run()));
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // Both streams over: the pins wait for the stop without working.
  const double finished = ProcessMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(ProcessMilliseconds() - finished, 50) << "the finished pins spin";
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(context_->frameCounter, 10u);

  // Twelve chunks less the two sync frames; the sound as the samples gave it.
  EXPECT_EQ(ProbeValue(path, 0, "codec_type"), "video");
  EXPECT_EQ(ProbeValue(path, 0, "width"), "320");
  EXPECT_EQ(ProbeValue(path, 0, "height"), "240");
  EXPECT_EQ(ProbeValue(path, 0, "r_frame_rate"), "10/1");
  EXPECT_EQ(ProbeValue(path, 0, "nb_read_packets"), "10");
  EXPECT_EQ(ProbeValue(path, 1, "codec_type"), "audio");
  EXPECT_EQ(ProbeValue(path, 1, "sample_rate"), "8000");
  EXPECT_EQ(ProbeValue(path, 1, "channels"), "1");
  EXPECT_EQ(ProbeValue(path, 1, "codec_name"), "pcm_s16le");
}

}  // namespace
}  // namespace ksv::dlfilter
