// The Smart Tee as the registered plug-in in a filter graph, between a
// capture source and two recording sinks.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/media/testing/capture_test_filters.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;

IPin* PinAt(IBaseFilter* filter, int index, std::vector<ComPtr<IPin>>* keep) {
  ComPtr<IEnumPins> each;
  filter->EnumPins(each.GetAddressOf());
  IPin* pin = nullptr;
  for (int i = 0; each->Next(1, &pin, nullptr) == S_OK; ++i) {
    keep->push_back(ComPtr<IPin>::Adopt(pin));
    if (i == index) return pin;
  }
  return nullptr;
}

// source -> Smart Tee -> capture sink, and the tee's preview -> preview sink.
class TeeGraph {
 public:
  TeeGraph(uint32_t frames, SinkMode previewMode)
      : source_(new CaptureSource(frames, false)), capture_(new VideoSink()),
        preview_(new VideoSink(previewMode)) {
    for (CBaseFilter* filter : {static_cast<CBaseFilter*>(source_), static_cast<CBaseFilter*>(capture_),
                                static_cast<CBaseFilter*>(preview_)}) {
      filter->AddRef();
    }
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.GetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(tee_.GetAddressOf())),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);
    graph_->AddFilter(source_, u"Source");
    graph_->AddFilter(tee_.Get(), u"Smart Tee");
    graph_->AddFilter(capture_, u"Capture sink");
    graph_->AddFilter(preview_, u"Preview sink");
    graph_.As(&control_);
  }
  ~TeeGraph() {
    control_->Stop();
    control_ = nullptr;
    graph_ = nullptr;
    for (CBaseFilter* filter : {static_cast<CBaseFilter*>(source_), static_cast<CBaseFilter*>(capture_),
                                static_cast<CBaseFilter*>(preview_)}) {
      filter->Release();
    }
  }
  HRESULT ConnectInput() { return graph_->ConnectDirect(source_->capturePin(), TeePin(0), nullptr); }
  HRESULT ConnectOutputs() {
    HRESULT result = graph_->ConnectDirect(TeePin(1), capture_->pin(), nullptr);
    if (SUCCEEDED(result)) result = graph_->ConnectDirect(TeePin(2), preview_->pin(), nullptr);
    return result;
  }
  IPin* TeePin(int index) { return PinAt(tee_.Get(), index, &pins_); }

  IMediaControl* control() { return control_.Get(); }
  CaptureSource* source() { return source_; }
  VideoSink* capture() { return capture_; }
  VideoSink* preview() { return preview_; }

 private:
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> tee_;
  ComPtr<IMediaControl> control_;
  std::vector<ComPtr<IPin>> pins_;
  CaptureSource* source_;
  VideoSink* capture_;
  VideoSink* preview_;
};

TEST(SmartTee, ConnectsItsOutputsOnlyAfterItsInputAndWithTheInputsType) {
  PluginRoot root({"ksvsmarttee.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  TeeGraph graph(1, SinkMode::kTake);
  EXPECT_TRUE(FAILED(graph.ConnectOutputs()));
  ASSERT_EQ(graph.ConnectInput(), S_OK);
  ASSERT_EQ(graph.ConnectOutputs(), S_OK);
  for (int output : {1, 2}) {
    AM_MEDIA_TYPE type{};
    ASSERT_EQ(graph.TeePin(output)->ConnectionMediaType(&type), S_OK);
    EXPECT_TRUE(CMediaType(type) == CaptureVideoType());
    FreeMediaType(type);
  }
}

TEST(SmartTee, CaptureGetsTheInputSamplesThemselvesAndPreviewUntimedCopies) {
  PluginRoot root({"ksvsmarttee.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  constexpr uint32_t kFrames = 60;
  TeeGraph graph(kFrames, SinkMode::kTake);
  ASSERT_EQ(graph.ConnectInput(), S_OK);
  ASSERT_EQ(graph.ConnectOutputs(), S_OK);
  ASSERT_EQ(graph.control()->Run(), S_OK);
  ASSERT_TRUE(graph.capture()->WaitForEnd());
  ASSERT_TRUE(graph.preview()->WaitForEnd());
  const std::vector<SeenSample> captured = graph.capture()->seen();
  const std::vector<SeenSample> previewed = graph.preview()->seen();
  ASSERT_EQ(graph.control()->Stop(), S_OK);

  ASSERT_EQ(captured.size(), kFrames);
  std::set<const BYTE*> sourceBuffers;
  for (uint32_t i = 0; i < kFrames; ++i) {
    SCOPED_TRACE(i);
    const SeenSample& seen = captured[i];
    EXPECT_TRUE(seen.intact);
    EXPECT_EQ(seen.frame, i);
    EXPECT_EQ(seen.buffer, graph.source()->capturePin()->BufferOf(i));  // not a copy
    EXPECT_TRUE(seen.timed);
    EXPECT_EQ(seen.start, i * kCaptureFrameTime);
    EXPECT_EQ(seen.stop, (i + 1) * kCaptureFrameTime);
    sourceBuffers.insert(seen.buffer);
  }
  ASSERT_FALSE(previewed.empty());
  EXPECT_LE(previewed.size(), kFrames);
  uint32_t last = 0;
  for (size_t i = 0; i < previewed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(previewed[i].intact);
    EXPECT_FALSE(previewed[i].timed);
    EXPECT_EQ(sourceBuffers.count(previewed[i].buffer), 0u);  // a copy
    if (i > 0) {
      EXPECT_GT(previewed[i].frame, last);  // in order, never twice
    }
    last = previewed[i].frame;
  }
}

TEST(SmartTee, APreviewThatBlocksOrHoldsItsSamplesNeverHoldsUpTheCapture) {
  PluginRoot root({"ksvsmarttee.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  constexpr uint32_t kFrames = 300;
  for (const SinkMode mode : {SinkMode::kBlock, SinkMode::kHold}) {
    SCOPED_TRACE(mode == SinkMode::kBlock ? "blocks" : "holds");
    TeeGraph graph(kFrames, mode);
    ASSERT_EQ(graph.ConnectInput(), S_OK);
    ASSERT_EQ(graph.ConnectOutputs(), S_OK);
    ASSERT_EQ(graph.control()->Run(), S_OK);
    // Every frame reaches the capture while the preview is stuck.
    ASSERT_TRUE(graph.capture()->WaitForEnd());
    const std::vector<SeenSample> captured = graph.capture()->seen();
    ASSERT_EQ(captured.size(), kFrames);
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_EQ(captured[i].frame, i);
    // The preview's thread may not have run yet.
    std::vector<SeenSample> previewed = graph.preview()->seen();
    for (int wait = 0; wait < 1000 && previewed.empty(); ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      previewed = graph.preview()->seen();
    }
    ASSERT_FALSE(previewed.empty());
    // Blocked in its first Receive, or out of its two buffers.
    EXPECT_LE(previewed.size(), mode == SinkMode::kBlock ? 1u : 2u);
    for (const SeenSample& seen : previewed) EXPECT_FALSE(seen.timed);
    // Stopping frees the stuck preview.
    EXPECT_EQ(graph.control()->Stop(), S_OK);
  }
}

}  // namespace
}  // namespace ksv::media::testing
