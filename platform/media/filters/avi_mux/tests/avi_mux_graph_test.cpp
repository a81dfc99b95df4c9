// The AVI Mux as the registered plug-in in a filter graph, writing through
// the File writer: a stream that ends, a capture that is stopped, and a
// source that fails part way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;

constexpr DWORD kMjpg = 0x47504A4D;
constexpr REFERENCE_TIME kFrame = UNITS / 30;

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

class MuxGraph {
 public:
  MuxGraph(const std::string& file, AfterLast after, int frames)
      : MuxGraph(file, after, VideoType(kMjpg, 64, 48, 24, kFrame), JpegFrames(frames, 64, 48)) {}
  MuxGraph(const std::string& file, AfterLast after, const CMediaType& type,
           std::vector<std::vector<uint8_t>> pictures) {
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.ReleaseAndGetAddressOf())),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(mux_.ReleaseAndGetAddressOf())),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(writer_.ReleaseAndGetAddressOf())),
              S_OK);
    source_ = new PushSource();
    source_->AddRef();
    pictures_ = std::move(pictures);
    video_ = source_->AddStream(type, Frames(pictures_, kFrame), after);
    graph_->AddFilter(source_, u"Source");
    graph_->AddFilter(mux_.Get(), u"AVI Mux");
    graph_->AddFilter(writer_.Get(), u"File writer");
    ComPtr<IFileSinkFilter> sink;
    writer_.As(&sink);
    EXPECT_EQ(sink->SetFileName(Wide(file).c_str(), nullptr), S_OK);
  }
  ~MuxGraph() {
    if (control_ != nullptr) control_->Stop();
    graph_ = nullptr;
    source_->Release();
  }
  HRESULT Connect() {
    HRESULT result = graph_->ConnectDirect(video_, Pin(mux_.Get(), u"Input 01"), nullptr);
    if (SUCCEEDED(result)) {
      result = graph_->ConnectDirect(Pin(mux_.Get(), u"AVI Out"), Pin(writer_.Get(), nullptr),
                                     nullptr);
    }
    graph_.As(&control_);
    graph_.As(&events_);
    return result;
  }
  IMediaControl* control() { return control_.Get(); }
  IMediaEventEx* events() { return events_.Get(); }
  PushPin* video() { return video_; }
  const std::vector<std::vector<uint8_t>>& pictures() const { return pictures_; }

 private:
  // The pin named `name`, or the filter's first pin.
  IPin* Pin(IBaseFilter* filter, LPCWSTR name) {
    ComPtr<IEnumPins> each;
    filter->EnumPins(each.ReleaseAndGetAddressOf());
    IPin* pin = nullptr;
    while (each->Next(1, &pin, nullptr) == S_OK) {
      pins_.push_back(ComPtr<IPin>::Adopt(pin));
      PIN_INFO info{};
      pin->QueryPinInfo(&info);
      info.pFilter->Release();
      if (name == nullptr || std::u16string(info.achName) == name) return pin;
    }
    return nullptr;
  }

  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> mux_, writer_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  std::vector<ComPtr<IPin>> pins_;
  PushSource* source_;
  PushPin* video_;
  std::vector<std::vector<uint8_t>> pictures_;
};

size_t FramesIn(const std::string& path) {
  avi::FileByteSource source(path);
  const avi::File file = avi::ReadAvi(source);
  return file.streams.empty() ? 0 : file.streams[0].index.size();
}

TEST(AviMuxGraph, TheFileIsWholeUnderItsNameAtTheEndOfTheStreamAndWhenAStopEndsACapture) {
  PluginRoot root({"ksvavimux.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  for (const bool capture : {false, true}) {
    SCOPED_TRACE(capture ? "stopped" : "end of stream");
    const std::string path = (root / (capture ? "capture.avi" : "clip.avi")).string();
    MuxGraph graph(path, capture ? AfterLast::kHold : AfterLast::kEndOfStream, 30);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.control()->Run(), S_OK);
    if (capture) {
      for (int wait = 0; wait < 2000 && graph.video()->sent() < 30; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      LONG code = 0;
      ASSERT_EQ(graph.events()->WaitForCompletion(20000, &code), S_OK);
      EXPECT_EQ(code, EC_COMPLETE);
    }
    ASSERT_EQ(graph.control()->Stop(), S_OK);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(FramesIn(path), 30u);
    if (HaveFfmpeg()) {
      EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), "30");
    }
  }
}

TEST(AviMuxGraph, ASourceThatFailsPartWayLeavesNoFileUnderTheName) {
  PluginRoot root({"ksvavimux.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  const std::string path = (root / "failed.avi").string();
  {
    MuxGraph graph(path, AfterLast::kFail, 10);
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.control()->Run(), S_OK);
    LONG code = 0;
    graph.events()->WaitForCompletion(20000, &code);
    EXPECT_EQ(code, EC_ERRORABORT);
    graph.control()->Stop();
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  // Nor a temporary file beside it, once the graph is gone: the folder
  // holds only the system root.
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(root / "")) {
    if (entry.path().filename() != "root") left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty()) << left.front();
}

// Past 1 GB the file goes on in AVIX parts that the OpenDML index covers.
// It writes 1.1 GB, so it runs only when asked (KSV_LARGE_TESTS=1).
TEST(AviMuxGraph, AFileLargerThanAGigabyteGoesOnInOpenDmlParts) {
  const char* large = std::getenv("KSV_LARGE_TESTS");
  if (large == nullptr || std::string(large) != "1") GTEST_SKIP() << "set KSV_LARGE_TESTS=1";
  PluginRoot root({"ksvavimux.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  const std::string path = (root / "large.avi").string();
  constexpr int kFrames = 1200;  // 640 x 480, 24-bit: 921,600 bytes a frame
  std::vector<std::vector<uint8_t>> pictures(kFrames, std::vector<uint8_t>(640 * 480 * 3));
  for (int i = 0; i < kFrames; ++i) {
    for (size_t at = 0; at < pictures[i].size(); at += 4099) pictures[i][at] = uint8_t(i + at);
  }
  const std::vector<uint8_t> last = pictures.back();
  {
    MuxGraph graph(path, AfterLast::kEndOfStream, VideoType(0, 640, 480, 24, kFrame),
                   std::move(pictures));
    ASSERT_EQ(graph.Connect(), S_OK);
    ASSERT_EQ(graph.control()->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(graph.events()->WaitForCompletion(600000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(graph.control()->Stop(), S_OK);
  }
  ASSERT_GT(std::filesystem::file_size(path), uint64_t{1} << 30);
  avi::FileByteSource source(path);
  const avi::File file = avi::ReadAvi(source);
  ASSERT_EQ(file.streams.size(), 1u);
  EXPECT_EQ(file.indexSource, avi::IndexSource::kOpenDml);
  EXPECT_FALSE(file.truncated);
  ASSERT_EQ(file.streams[0].index.size(), size_t(kFrames));
  EXPECT_EQ(file.totalFrames, uint32_t(kFrames));
  const avi::IndexEntry& entry = file.streams[0].index.back();
  std::vector<uint8_t> bytes(entry.size);
  ASSERT_TRUE(source.ReadAt(entry.offset, bytes.data(), bytes.size()));
  EXPECT_EQ(bytes, last);
  if (HaveFfmpeg()) {
    EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), std::to_string(kFrames));
    EXPECT_EQ(Probe(path, "v:0", "stream=width"), "640");
  }
}

}  // namespace
}  // namespace ksv::media::testing
