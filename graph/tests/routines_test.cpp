// The shared routines on a real filter graph: the search by friendly name
// (the Vexel rule, the name buffer), the FilterList's limit, the direct
// connection, the teardown's references, and the choice of a capture format.
#include <gtest/gtest.h>

#include <string>

#include "graph/graph_routines.h"
#include "graph/live_graphs.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/testing/capture_test_filters.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::graph {
namespace {

using com::ComPtr;
using media::testing::CaptureSource;
using media::testing::VideoSink;

CLSID ClassOf(IBaseFilter* filter) {
  CLSID clsid{};
  filter->GetClassID(&clsid);
  return clsid;
}

// References held on `object` besides the caller's, read by a balanced
// AddRef / Release.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class Routines : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    context_ = CreateGraphContext();
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override { TearDownGraph(context_); }

  // Lists the class `filter` under `name` in `category`, as an installer
  // lists a compressor or a device.
  void List(REFCLSID category, REFCLSID filter, const std::string& name) {
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               reinterpret_cast<void**>(mapper.GetAddressOf())),
              S_OK);
    mapper->CreateCategory(category, MERIT_DO_NOT_USE, u"test category");
    const std::u16string wide = Wide(name.c_str());
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = MERIT_DO_NOT_USE;
    ASSERT_EQ(mapper->RegisterFilter(filter, wide.c_str(), nullptr, &category, wide.c_str(), &data), S_OK);
  }

  media::testing::PluginRoot root_{{"ksvcapture.so", "ksvfilewriter.so", "ksvwavdest.so"}};
  GraphContext* context_ = nullptr;
};

TEST_F(Routines, TheVexelRuleTakesAnEarlierVexel5CompressorForAnyWantedName) {
  // Enumerated in name order: the Vexel stand-in comes first.
  List(CLSID_VideoCompressorCategory, CLSID_FileWriter, "A Vexel 5 codec");
  List(CLSID_VideoCompressorCategory, CLSID_WavDest, "Wanted codec");
  List(CLSID_VideoCompressorCategory, CLSID_AviDest, "Vexel 4 codec");

  IBaseFilter* plain = FindFilterByFriendlyName(*context_, CLSID_VideoCompressorCategory, "Wanted codec",
                                                kKindVideoCompressor, true);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(ClassOf(plain), CLSID_WavDest) << "without the flag the name must match";

  context_->useVexel5 = 1;
  IBaseFilter* vexel = FindFilterByFriendlyName(*context_, CLSID_VideoCompressorCategory, "Wanted codec",
                                                kKindVideoCompressor, true);
  ASSERT_NE(vexel, nullptr);
  EXPECT_EQ(ClassOf(vexel), CLSID_FileWriter);
  // Only for video compressors.
  IBaseFilter* other = FindFilterByFriendlyName(*context_, CLSID_VideoCompressorCategory, "Wanted codec",
                                                kKindAudioCompressor, true);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(ClassOf(other), CLSID_WavDest);
  EXPECT_EQ(context_->filterCount, 3);
  EXPECT_EQ(context_->filters[1].kind, kKindVideoCompressor);
}

TEST_F(Routines, ANameLongerThan119CharactersNeverMatches) {
  const std::string longest(119, 'n');
  const std::string tooLong = std::string(119, 'l') + "l";
  List(CLSID_AudioCompressorCategory, CLSID_FileWriter, longest);
  List(CLSID_AudioCompressorCategory, CLSID_WavDest, tooLong);
  IBaseFilter* found = FindFilterByFriendlyName(*context_, CLSID_AudioCompressorCategory, longest.c_str(),
                                                kKindAudioCompressor, false);
  ASSERT_NE(found, nullptr);
  found->Release();  // unlisted: the caller's
  EXPECT_EQ(FindFilterByFriendlyName(*context_, CLSID_AudioCompressorCategory, tooLong.c_str(),
                                     kKindAudioCompressor, false),
            nullptr);
  // Nor does its 119-character start.
  EXPECT_EQ(FindFilterByFriendlyName(*context_, CLSID_AudioCompressorCategory, tooLong.substr(0, 119).c_str(),
                                     kKindAudioCompressor, false),
            nullptr);
}

TEST_F(Routines, TheFilterListHoldsAHundredAndReleasesTheNext) {
  for (int i = 0; i < kMaxFilters; ++i) {
    ASSERT_NE(CreateFilter(*context_, CLSID_FileWriter, kKindFileWriter, true), nullptr) << i;
  }
  EXPECT_EQ(CreateFilter(*context_, CLSID_FileWriter, kKindFileWriter, true), nullptr);
  EXPECT_EQ(context_->filterCount, kMaxFilters);

  auto sink = ComPtr<IBaseFilter>::Adopt(new VideoSink());
  sink->AddRef();  // the base classes start at no reference
  sink->AddRef();  // the one the list is handed
  EXPECT_FALSE(AppendFilter(*context_, kKindVideoRenderer, sink.Get()));
  EXPECT_EQ(References(sink.Get()), 1u) << "the refused reference was released";
  sink->Release();  // back to the base classes' start
  sink.Detach();
}

TEST_F(Routines, FiltersAreConnectedDirectlyAndTeardownGivesBackEveryReference) {
  auto* source = new CaptureSource(3, false);
  auto* sink = new VideoSink();
  source->AddRef();
  sink->AddRef();
  ASSERT_EQ(context_->graph->AddFilter(source, u"source"), S_OK);
  ASSERT_EQ(context_->graph->AddFilter(sink, u"sink"), S_OK);
  EXPECT_FALSE(ConnectFilters(sink, source)) << "inputs do not connect to outputs";
  ASSERT_TRUE(ConnectFilters(source, sink));
  EXPECT_FALSE(ConnectFilters(source, sink)) << "no free pins are left";

  // Listed as the library lists what it made (each entry owns a reference).
  source->AddRef();
  sink->AddRef();
  ASSERT_TRUE(AppendFilter(*context_, kKindVideoDevice, source));
  ASSERT_TRUE(AppendFilter(*context_, kKindVideoRenderer, sink));
  RecordGraphFilters(*context_, true);
  EXPECT_EQ(context_->filterCount, 2) << "a listed filter is not recorded again";

  TearDownGraph(context_);
  context_ = nullptr;
  IPin* peer = nullptr;
  EXPECT_EQ(source->capturePin()->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(References(static_cast<IBaseFilter*>(source)), 1u);
  EXPECT_EQ(References(static_cast<IBaseFilter*>(sink)), 1u);
  source->Release();
  sink->Release();
}

TEST_F(Routines, AFormatMatchesTheCapabilitysHeightWithItsSign) {
  auto* source = new CaptureSource(1, false);
  source->AddRef();
  IAMStreamConfig* config = source->capturePin();
  using media::testing::kCaptureHeight;
  using media::testing::kCaptureWidth;
  EXPECT_FALSE(SelectFormat(config, {kCaptureWidth, -kCaptureHeight, 0}));
  EXPECT_FALSE(SelectFormat(config, {kCaptureWidth, kCaptureHeight, 0x47504A4Du /* MJPG */}));
  EXPECT_TRUE(SelectFormat(config, {kCaptureWidth, kCaptureHeight, 0}));
  QmgVideoFormat read{};
  ASSERT_TRUE(ReadFormat(config, &read));
  EXPECT_EQ(read.width, kCaptureWidth);
  EXPECT_EQ(read.height, kCaptureHeight);
  EXPECT_EQ(read.compression, 0u);
  source->Release();
}

}  // namespace
}  // namespace ksv::graph
