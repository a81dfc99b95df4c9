// Graphs built from the test filter plug-in registered in a fresh system
// root: its filters chained by hand and run, and the builder's intelligent
// connection choosing registered filters by merit.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "platform/media/testing/filter_pins.h"
#include "platform/com/class_registry.h"
#include "platform/com/wide_text.h"
#include "platform/media/graph/tests/graph_test_support.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/testing/test_filter_ids.h"

namespace ksv::media::graph::testing {
namespace {

using com::ComPtr;
using namespace ksv::media::testing;

HRESULT CallPluginEntry(const char* entry) {
  void* module = dlopen(KSV_TEST_FILTER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  auto function = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  const HRESULT result = function != nullptr ? function() : CO_E_ERRORINDLL;
  dlclose(module);
  return result;
}

using ksv::media::testing::FirstPin;

class PluginGraph : public GraphTest {
 protected:
  PluginGraph() { EXPECT_EQ(CallPluginEntry("DllRegisterServer"), S_OK); }
  ~PluginGraph() override {
    if (control_) control_->Stop();
  }

  // A filter of the plug-in made by class identifier and added to the graph.
  ComPtr<IBaseFilter> Add(REFCLSID clsid) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(filter.GetAddressOf())),
              S_OK);
    if (filter) {
      EXPECT_EQ(graph_->AddFilter(filter.Get(), nullptr), S_OK);
    }
    return filter;
  }
  ComPtr<IBaseFilter> AddSource(const char16_t* samples) {
    ComPtr<IBaseFilter> source = Add(kTestSourceClsid);
    ComPtr<IFileSourceFilter> file;
    EXPECT_EQ(source.As(&file), S_OK);
    if (file) {
      EXPECT_EQ(file->Load(samples, nullptr), S_OK);
    }
    return source;
  }
  ComPtr<IBaseFilter> AddSink() {
    ComPtr<IBaseFilter> sink = Add(kTestSinkClsid);
    ComPtr<IFileSinkFilter> file;
    EXPECT_EQ(sink.As(&file), S_OK);
    if (file) {
      EXPECT_EQ(file->SetFileName(com::Utf8ToUtf16(countFile_).c_str(), nullptr), S_OK);
    }
    return sink;
  }

  // The classes of the graph's filters, in the graph's order.
  std::vector<CLSID> Classes() {
    std::vector<CLSID> classes;
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph_->EnumFilters(filters.GetAddressOf()))) return classes;
    IBaseFilter* filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
      CLSID clsid{};
      filter->GetClassID(&clsid);
      classes.push_back(clsid);
      filter->Release();
    }
    return classes;
  }
  size_t CountOf(REFCLSID clsid) {
    const std::vector<CLSID> classes = Classes();
    return static_cast<size_t>(std::count(classes.begin(), classes.end(), clsid));
  }

  static void SetMerit(REFCLSID filter, DWORD merit) {
    ASSERT_TRUE(registration::WriteDword(com::ClassKeyPath(filter), "Merit", merit));
  }

  // Runs the graph to its end; the sample count the sink wrote.
  std::string RunToCompletion() {
    EXPECT_TRUE(SUCCEEDED(control_->Run()));
    LONG code = 0;
    EXPECT_EQ(events_->WaitForCompletion(20'000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(control_->Stop(), S_OK);
    std::ifstream file(countFile_);
    std::string count;
    std::getline(file, count);
    return count;
  }

  const std::string countFile_ = (root_.path() / "count.txt").string();
};

TEST_F(PluginGraph, FiltersChainedByHandDeliverEverySample) {
  ComPtr<IBaseFilter> source = AddSource(u"25");
  ComPtr<IBaseFilter> converter = Add(kTestConverterClsid);
  ComPtr<IBaseFilter> sink = AddSink();
  ComPtr<IPin> sourceOut = FirstPin(source.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> sinkIn = FirstPin(sink.Get(), PINDIR_INPUT);
  // The sink takes only what the converter makes.
  EXPECT_EQ(graph_->ConnectDirect(sourceOut.Get(), sinkIn.Get(), nullptr),
            VFW_E_NO_ACCEPTABLE_TYPES);
  ASSERT_EQ(graph_->ConnectDirect(sourceOut.Get(), FirstPin(converter.Get(), PINDIR_INPUT).Get(),
                                  nullptr),
            S_OK);
  ASSERT_EQ(graph_->ConnectDirect(FirstPin(converter.Get(), PINDIR_OUTPUT).Get(), sinkIn.Get(),
                                  nullptr),
            S_OK);
  EXPECT_EQ(RunToCompletion(), "25");
  // A second run sends them again, and the sink counts afresh.
  EXPECT_EQ(RunToCompletion(), "25");
}

TEST_F(PluginGraph, SourceCountComesFromTheLoadedName) {
  ComPtr<IBaseFilter> source = Add(kTestSourceClsid);
  ComPtr<IFileSourceFilter> file;
  ASSERT_EQ(source.As(&file), S_OK);
  LPOLESTR name = nullptr;
  ASSERT_EQ(file->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(name, nullptr);  // nothing loaded: the default count
  EXPECT_EQ(file->Load(u"12x", nullptr), E_INVALIDARG);
  EXPECT_EQ(file->Load(u"", nullptr), E_INVALIDARG);
  EXPECT_EQ(file->Load(u"9999999999", nullptr), E_INVALIDARG);
  ASSERT_EQ(file->Load(u"7", nullptr), S_OK);
  ASSERT_EQ(file->GetCurFile(&name, nullptr), S_OK);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::u16string(name), u"7");
  CoTaskMemFree(name);
}

// ---- Intelligent connection

class Building : public PluginGraph {
 protected:
  void SetUp() override {
    source_ = AddSource(u"40");
    sourceOut_ = FirstPin(source_.Get(), PINDIR_OUTPUT);
  }
  void AddTheSink() {
    sink_ = AddSink();
    sinkIn_ = FirstPin(sink_.Get(), PINDIR_INPUT);
  }
  HRESULT ConnectSourceToSink() { return graph_->Connect(sourceOut_.Get(), sinkIn_.Get()); }

  ComPtr<IBaseFilter> source_;
  ComPtr<IPin> sourceOut_;
  ComPtr<IBaseFilter> sink_;
  ComPtr<IPin> sinkIn_;
};

TEST_F(Building, ConnectInsertsTheConverterOfHighestMeritAndTheGraphRuns) {
  AddTheSink();
  ASSERT_EQ(ConnectSourceToSink(), S_OK);
  EXPECT_EQ(Classes().size(), 3u);
  EXPECT_EQ(CountOf(kTestConverterClsid), 1u);  // not the backup, of lower merit
  ComPtr<IBaseFilter> inserted;
  EXPECT_EQ(graph_->FindFilterByName(kTestConverterName, inserted.GetAddressOf()), S_OK)
      << "an inserted filter is named by its friendly name";
  EXPECT_EQ(RunToCompletion(), "40");
}

TEST_F(Building, ConverterWhoseMeritIsLoweredToDoNotUseIsNoLongerInserted) {
  SetMerit(kTestConverterClsid, MERIT_DO_NOT_USE);
  AddTheSink();
  ASSERT_EQ(ConnectSourceToSink(), S_OK);
  EXPECT_EQ(CountOf(kTestConverterClsid), 0u);
  EXPECT_EQ(CountOf(kTestBackupConverterClsid), 1u);

  EXPECT_EQ(RunToCompletion(), "40");
}

TEST_F(Building, WhenTheHigherMeritLeadsNowhereTheLowerIsTried) {
  // The dead end takes the source's type but makes one nothing takes.
  SetMerit(kTestDeadEndClsid, MERIT_PREFERRED);
  AddTheSink();
  ASSERT_EQ(ConnectSourceToSink(), S_OK);
  EXPECT_EQ(CountOf(kTestDeadEndClsid), 0u);
  EXPECT_EQ(CountOf(kTestConverterClsid), 1u);
  EXPECT_EQ(Classes().size(), 3u);
  EXPECT_EQ(RunToCompletion(), "40");
}

TEST_F(Building, OnlyTheDeadEndLeftFailsWithoutLeftovers) {
  SetMerit(kTestConverterClsid, MERIT_DO_NOT_USE);
  SetMerit(kTestBackupConverterClsid, MERIT_DO_NOT_USE);
  AddTheSink();
  EXPECT_EQ(ConnectSourceToSink(), VFW_E_CANNOT_CONNECT);
  EXPECT_EQ(Classes().size(), 2u);
  EXPECT_EQ(graph_->Render(sourceOut_.Get()), VFW_E_CANNOT_RENDER);
  EXPECT_EQ(Classes().size(), 2u);
}

TEST_F(Building, RenderUsesTheSinkInTheGraphThenRuns) {
  AddTheSink();
  ASSERT_EQ(graph_->Render(sourceOut_.Get()), S_OK);
  EXPECT_EQ(CountOf(kTestSinkClsid), 1u);
  EXPECT_EQ(CountOf(kTestConverterClsid), 1u);
  EXPECT_EQ(graph_->Render(sourceOut_.Get()), VFW_E_ALREADY_CONNECTED);
  EXPECT_EQ(RunToCompletion(), "40");
}

TEST_F(Building, RenderFindsARegisteredRenderer) {
  ASSERT_EQ(graph_->Render(sourceOut_.Get()), S_OK);
  EXPECT_EQ(Classes().size(), 3u);
  EXPECT_EQ(CountOf(kTestSinkClsid), 1u);
  EXPECT_EQ(CountOf(kTestConverterClsid), 1u);
}

// The File Source plug-in is not registered in this root.
TEST_F(Building, RenderFileWithoutTheFileSourceCannotLoadASource) {
  EXPECT_EQ(graph_->RenderFile(u"clip.avi", nullptr), VFW_E_CANNOT_LOAD_SOURCE_FILTER);
  EXPECT_EQ(Classes().size(), 1u);
}

}  // namespace
}  // namespace ksv::media::graph::testing
