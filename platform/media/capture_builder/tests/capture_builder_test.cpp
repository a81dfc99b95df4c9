// The capture graph builder as the registered plug-in, building in a graph
// of test capture sources and recording sinks, and writing an AVI file
// through the AVI Mux and the File writer.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/capture_interfaces.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/formats.h"
#include "platform/media/media.h"
#include "platform/media/testing/capture_test_filters.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;

const std::vector<std::string> kModules = {"ksvcapture.so", "ksvsmarttee.so", "ksvavimux.so",
                                           "ksvfilewriter.so"};

// A graph with a capture source (with or without a preview pin) and two
// recording sinks, and a builder set to build in it.
class Capture {
 public:
  explicit Capture(bool previewPin, uint32_t frames = 1)
      : source_(new CaptureSource(frames, previewPin)), capture_(new VideoSink()),
        preview_(new VideoSink()) {
    for (CBaseFilter* filter : Ours()) filter->AddRef();
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.GetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(builder_.GetAddressOf())),
              S_OK);
    EXPECT_EQ(builder_->SetFiltergraph(graph_.Get()), S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);
    graph_->AddFilter(source_, u"Source");
    graph_->AddFilter(capture_, u"Capture sink");
    graph_->AddFilter(preview_, u"Preview sink");
  }
  ~Capture() {
    ComPtr<IMediaControl> control;
    graph_.As(&control);
    control->Stop();
    builder_ = nullptr;
    graph_ = nullptr;
    for (CBaseFilter* filter : Ours()) filter->Release();
  }

  HRESULT Render(const GUID& category, IBaseFilter* renderer) {
    return builder_->RenderStream(&category, &MEDIATYPE_Video, static_cast<IBaseFilter*>(source_),
                                  nullptr, renderer);
  }
  int Tees() { return CountFiltersOfClass(graph_.Get(), CLSID_SmartTee); }
  bool FedByTee(VideoSink* sink) { return IsTee(PeerFilter(sink->pin()).Get()); }
  static bool IsTee(IBaseFilter* filter) {
    CLSID clsid{};
    return filter != nullptr && SUCCEEDED(filter->GetClassID(&clsid)) && clsid == CLSID_SmartTee;
  }

  IGraphBuilder* graph() { return graph_.Get(); }
  ICaptureGraphBuilder2* builder() { return builder_.Get(); }
  CaptureSource* source() { return source_; }
  VideoSink* capture() { return capture_; }
  VideoSink* preview() { return preview_; }

 private:
  std::vector<CBaseFilter*> Ours() { return {source_, capture_, preview_}; }

  ComPtr<IGraphBuilder> graph_;
  ComPtr<ICaptureGraphBuilder2> builder_;
  CaptureSource* source_;
  VideoSink* capture_;
  VideoSink* preview_;
};

TEST(CaptureGraphBuilder, BothClassesGiveBothInterfacesAndTheGraphIsMadeOnceWhenNoneIsSet) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  for (const CLSID& clsid : {CLSID_CaptureGraphBuilder, CLSID_CaptureGraphBuilder2}) {
    ComPtr<ICaptureGraphBuilder> older;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(older.GetAddressOf())),
              S_OK);
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(older.As(&builder), S_OK);
    ComPtr<IGraphBuilder> first, second;
    ASSERT_EQ(builder->GetFiltergraph(first.GetAddressOf()), S_OK);
    ASSERT_TRUE(first);
    ASSERT_EQ(older->GetFiltergraph(second.GetAddressOf()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(builder->SetFiltergraph(first.Get()), E_UNEXPECTED);
    EXPECT_EQ(builder->SetFiltergraph(nullptr), E_POINTER);
    EXPECT_EQ(builder->AllocCapFile(u"x.avi", 1), E_NOTIMPL);
  }
}

TEST(CaptureGraphBuilder, PreviewWithoutAPreviewPinGoesThroughOneSmartTeeAndCaptureFollowsIt) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  {
    SCOPED_TRACE("preview first");
    Capture graph(false);
    EXPECT_EQ(graph.Render(PIN_CATEGORY_PREVIEW, graph.preview()), VFW_S_NOPREVIEWPIN);
    EXPECT_EQ(graph.Tees(), 1);
    EXPECT_TRUE(graph.FedByTee(graph.preview()));
    EXPECT_EQ(PeerName(graph.preview()->pin()), u"Preview");
    EXPECT_TRUE(Capture::IsTee(PeerFilter(graph.source()->capturePin()).Get()));
    EXPECT_EQ(graph.Render(PIN_CATEGORY_CAPTURE, graph.capture()), S_OK);
    EXPECT_EQ(graph.Tees(), 1);
    EXPECT_EQ(PeerName(graph.capture()->pin()), u"Capture");
    // Nothing is left to render either.
    EXPECT_TRUE(FAILED(graph.Render(PIN_CATEGORY_PREVIEW, graph.preview())));
    EXPECT_EQ(graph.Tees(), 1);
  }
  {
    SCOPED_TRACE("capture first");
    Capture graph(false);
    EXPECT_EQ(graph.Render(PIN_CATEGORY_CAPTURE, graph.capture()), S_OK);
    EXPECT_EQ(graph.Tees(), 0);
    EXPECT_EQ(PeerName(graph.capture()->pin()), u"Capture");
    EXPECT_FALSE(graph.FedByTee(graph.capture()));
    EXPECT_EQ(graph.Render(PIN_CATEGORY_PREVIEW, graph.preview()), VFW_S_NOPREVIEWPIN);
    EXPECT_EQ(graph.Tees(), 1);
    // The tee went in between the source and the capture sink.
    EXPECT_TRUE(graph.FedByTee(graph.capture()));
    EXPECT_TRUE(graph.FedByTee(graph.preview()));
    EXPECT_TRUE(Capture::IsTee(PeerFilter(graph.source()->capturePin()).Get()));
  }
}

TEST(CaptureGraphBuilder, ASourceWithAPreviewPinPreviewsFromItWithoutATee) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  Capture graph(true);
  EXPECT_EQ(graph.Render(PIN_CATEGORY_PREVIEW, graph.preview()), S_OK);
  EXPECT_EQ(graph.Render(PIN_CATEGORY_CAPTURE, graph.capture()), S_OK);
  EXPECT_EQ(graph.Tees(), 0);
  ComPtr<IPin> peer;
  ASSERT_EQ(graph.preview()->pin()->ConnectedTo(peer.GetAddressOf()), S_OK);
  EXPECT_EQ(peer.Get(), static_cast<IPin*>(graph.source()->previewPin()));
  ASSERT_EQ(graph.capture()->pin()->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(peer.Get(), static_cast<IPin*>(graph.source()->capturePin()));
}

TEST(CaptureGraphBuilder, RenderStreamChecksItsArgumentsAndTakesAPinAsTheSource) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  Capture graph(false);
  ICaptureGraphBuilder2* builder = graph.builder();
  auto* outside = new VideoSink();  // in no graph
  outside->AddRef();
  EXPECT_EQ(builder->RenderStream(nullptr, nullptr, nullptr, nullptr, graph.capture()), E_POINTER);
  EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, nullptr,
                                  static_cast<IBaseFilter*>(graph.source()), nullptr, outside),
            VFW_E_NOT_IN_GRAPH);
  // No audio capture pin, no pin of another category.
  EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio,
                                  static_cast<IBaseFilter*>(graph.source()), nullptr,
                                  graph.capture()),
            E_FAIL);
  const GUID closedCaptions = ksv::com::Guid("FB6C4289-0353-11D1-905F-0000C0CC16BA");
  EXPECT_EQ(builder->RenderStream(&closedCaptions, nullptr,
                                  static_cast<IBaseFilter*>(graph.source()), nullptr,
                                  graph.capture()),
            E_FAIL);
  EXPECT_EQ(graph.Tees(), 0);
  // The source's pin itself, with no category.
  EXPECT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IPin*>(graph.source()->capturePin()),
                                  nullptr, graph.capture()),
            S_OK);
  EXPECT_EQ(PeerName(graph.capture()->pin()), u"Capture");
  ComPtr<IPin> pin;
  EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(graph.source()), PINDIR_OUTPUT,
                             &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 0,
                             pin.GetAddressOf()),
            E_FAIL);  // connected now
  EXPECT_EQ(builder->FindPin(static_cast<IBaseFilter*>(graph.source()), PINDIR_OUTPUT,
                             &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE, 0,
                             pin.GetAddressOf()),
            S_OK);
  EXPECT_EQ(pin.Get(), static_cast<IPin*>(graph.source()->capturePin()));
  outside->Release();
}

TEST(CaptureGraphBuilder, FindInterfaceSearchesByCategoryAndUpOrDownTheStream) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  Capture graph(true);
  ICaptureGraphBuilder2* builder = graph.builder();
  IBaseFilter* source = graph.source();
  IAMStreamConfig* onCapturePin = static_cast<IAMStreamConfig*>(graph.source()->capturePin());

  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source,
                                   IID_PPV_ARGS(config.GetAddressOf())),
            S_OK);
  EXPECT_EQ(config.Get(), onCapturePin);
  ComPtr<ICaptureGraphBuilder> older;
  ASSERT_EQ(ComPtr<ICaptureGraphBuilder2>(builder).As(&older), S_OK);
  ASSERT_EQ(older->FindInterface(&PIN_CATEGORY_CAPTURE, source,
                                 IID_PPV_ARGS(config.ReleaseAndGetAddressOf())),
            S_OK);
  EXPECT_EQ(config.Get(), onCapturePin);
  // The preview pin has none, nor has anything downstream of it.
  EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_PREVIEW, nullptr, source,
                                   IID_PPV_ARGS(config.ReleaseAndGetAddressOf())),
            E_NOINTERFACE);
  EXPECT_FALSE(config);

  ASSERT_EQ(graph.Render(PIN_CATEGORY_CAPTURE, graph.capture()), S_OK);
  IBaseFilter* sink = graph.capture();
  for (const GUID* category : {&LOOK_UPSTREAM_ONLY, static_cast<const GUID*>(nullptr)}) {
    ASSERT_EQ(builder->FindInterface(category, nullptr, sink,
                                     IID_PPV_ARGS(config.ReleaseAndGetAddressOf())),
              S_OK);
    EXPECT_EQ(config.Get(), onCapturePin);
  }
  EXPECT_EQ(builder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, sink,
                                   IID_PPV_ARGS(config.ReleaseAndGetAddressOf())),
            E_NOINTERFACE);
  // Looking only up or down never answers with the filter itself.
  ComPtr<IBaseFilter> self;
  EXPECT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, source,
                                   IID_PPV_ARGS(self.GetAddressOf())),
            E_NOINTERFACE);
  ComPtr<IConfigAviMux> none;
  EXPECT_EQ(builder->FindInterface(nullptr, nullptr, sink, IID_PPV_ARGS(none.GetAddressOf())),
            E_NOINTERFACE);
  EXPECT_EQ(builder->FindInterface(nullptr, nullptr, nullptr, IID_PPV_ARGS(none.GetAddressOf())),
            E_POINTER);
}

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

size_t FramesIn(const std::string& path, uint32_t* width, uint32_t* height) {
  avi::FileByteSource bytes(path);
  const avi::File file = avi::ReadAvi(bytes);
  if (file.streams.empty() || file.streams[0].format.size() < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER header{};
  std::memcpy(&header, file.streams[0].format.data(), sizeof(header));
  *width = static_cast<uint32_t>(header.biWidth);
  *height = static_cast<uint32_t>(header.biHeight);
  return file.streams[0].index.size();
}

TEST(CaptureGraphBuilder, ACaptureToTheOutputFileWritesEveryFrameWithPreviewAndCompressorOrNot) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  constexpr uint32_t kFrames = 45;
  for (const int variant : {0, 1, 2}) {
    const bool preview = variant != 0;
    const bool compress = variant == 2;
    SCOPED_TRACE(variant);
    const std::string path = (root / ("capture" + std::to_string(variant) + ".avi")).string();
    Capture graph(false, kFrames);
    ComPtr<IBaseFilter> compressor;
    if (compress) {
      compressor = ComPtr<IBaseFilter>(new FrameCopier());
      ASSERT_EQ(graph.graph()->AddFilter(compressor.Get(), u"Compressor"), S_OK);
    }
    ComPtr<IBaseFilter> mux;
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(graph.builder()->SetOutputFileName(&MEDIASUBTYPE_Avi, Wide(path).c_str(),
                                                 mux.GetAddressOf(), sink.GetAddressOf()),
              S_OK);
    ASSERT_TRUE(mux && sink);
    EXPECT_EQ(CountFiltersOfClass(graph.graph(), CLSID_AviDest), 1);
    EXPECT_EQ(CountFiltersOfClass(graph.graph(), CLSID_FileWriter), 1);
    LPOLESTR name = nullptr;
    ASSERT_EQ(sink->GetCurFile(&name, nullptr), S_OK);
    EXPECT_EQ(std::u16string(name), Wide(path));
    CoTaskMemFree(name);

    ASSERT_EQ(graph.builder()->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                            static_cast<IBaseFilter*>(graph.source()),
                                            compressor.Get(), mux.Get()),
              S_OK);
    if (compress) {
      // source -> compressor -> mux
      EXPECT_EQ(PeerFilter(graph.source()->capturePin()).Get(), compressor.Get());
    }
    if (preview) {
      ASSERT_EQ(graph.Render(PIN_CATEGORY_PREVIEW, graph.preview()), VFW_S_NOPREVIEWPIN);
      EXPECT_TRUE(Capture::IsTee(PeerFilter(graph.source()->capturePin()).Get()));
    }
    // The mux is found downstream of the capture pin, through the tee too.
    ComPtr<IConfigAviMux> config;
    EXPECT_EQ(graph.builder()->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                             graph.source(), IID_PPV_ARGS(config.GetAddressOf())),
              S_OK);

    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ASSERT_EQ(ComPtr<IGraphBuilder>(graph.graph()).As(&control), S_OK);
    ASSERT_EQ(ComPtr<IGraphBuilder>(graph.graph()).As(&events), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(control->Stop(), S_OK);
    if (preview) {
      EXPECT_FALSE(graph.preview()->seen().empty());
    }

    ASSERT_TRUE(std::filesystem::exists(path));
    uint32_t width = 0, height = 0;
    EXPECT_EQ(FramesIn(path, &width, &height), kFrames);
    EXPECT_EQ(width, 160u);
    EXPECT_EQ(height, 120u);
    if (HaveFfmpeg()) {
      EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), std::to_string(kFrames));
      EXPECT_EQ(Probe(path, "v:0", "stream=width"), "160");
    }
  }
}

TEST(CaptureGraphBuilder, PreviewWithoutRendererNeverEndsUpInTheCaptureFile) {
  // No Video Renderer is installed here: the preview fails rather than
  // take the multiplexer's free input.
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  Capture graph(false);
  ComPtr<IBaseFilter> mux;
  ASSERT_EQ(graph.builder()->SetOutputFileName(&MEDIASUBTYPE_Avi, u"never.avi", mux.GetAddressOf(),
                                               nullptr),
            S_OK);
  ASSERT_EQ(graph.Render(PIN_CATEGORY_CAPTURE, mux.Get()), S_OK);
  EXPECT_TRUE(FAILED(graph.Render(PIN_CATEGORY_PREVIEW, nullptr)));
  int connectedInputs = 0;
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(mux->EnumPins(pins.GetAddressOf()), S_OK);
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_DIRECTION direction;
    pin->QueryDirection(&direction);
    if (direction == PINDIR_INPUT && PeerFilter(pin)) ++connectedInputs;
    pin->Release();
  }
  EXPECT_EQ(connectedInputs, 1);
}

TEST(CaptureGraphBuilder, AnOutputFileOfAClassThatCannotBeMadeAddsNothing) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  Capture graph(false);
  const GUID unknown = ksv::com::Guid("0D7E5F3A-1111-4A2B-8C9D-0E1F2A3B4C5D");
  ComPtr<IBaseFilter> mux;
  EXPECT_TRUE(FAILED(graph.builder()->SetOutputFileName(&unknown, u"x.avi", mux.GetAddressOf(),
                                                        nullptr)));
  EXPECT_FALSE(mux);
  EXPECT_EQ(CountFiltersOfClass(graph.graph(), CLSID_FileWriter), 0);
  EXPECT_EQ(graph.builder()->SetOutputFileName(&MEDIASUBTYPE_Avi, nullptr, mux.GetAddressOf(),
                                               nullptr),
            E_POINTER);
}

}  // namespace
}  // namespace ksv::media::testing
