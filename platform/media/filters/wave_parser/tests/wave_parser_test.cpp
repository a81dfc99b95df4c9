// The Wave Parser in a filter graph behind the File Source, with FFmpeg as
// the oracle: the sound of PCM, IMA ADPCM and G.711 files byte for byte
// with their duration, the pin's type (the file's own format), how the
// samples are cut and timed, a corrupt file, and running twice.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/common/tests/parser_test_support.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/temp_files.h"

namespace ksv::media::filters::testing {
namespace {

using media::testing::PluginRoot;

struct WaveCase {
  const char* name;
  const char* codec;
  int rate;
  int channels;
  double seconds;
};

const WaveCase kCases[] = {
    {"pcm.wav", "pcm_s16le", 44100, 2, 2.3},
    {"adpcm.wav", "adpcm_ima_wav", 22050, 1, 2.0},
    {"mulaw.wav", "pcm_mulaw", 8000, 1, 1.3},
    {"alaw.wav", "pcm_alaw", 8000, 2, 1.1},
};

// The fmt chunk of a RIFF WAVE file, found by walking its chunks.
std::vector<uint8_t> FmtChunk(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ksv::testing::ReadFile(path);
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = uint32_t(bytes[at + 4]) | uint32_t(bytes[at + 5]) << 8 |
                          uint32_t(bytes[at + 6]) << 16 | uint32_t(bytes[at + 7]) << 24;
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && at + 8 + size <= bytes.size()) {
      return std::vector<uint8_t>(bytes.begin() + static_cast<long>(at + 8),
                                  bytes.begin() + static_cast<long>(at + 8 + size));
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

class WaveParserGraph : public ::testing::Test {
 protected:
  WaveParserGraph() : root_({"ksvfilesource.so", "ksvwaveparser.so"}) {}

  static void SetUpTestSuite() {
    if (!HaveFfmpeg()) return;
    files_ = new ksv::testing::TempFolder();
    made_ = true;
    for (const WaveCase& c : kCases) {
      made_ = made_ && Ffmpeg("-f lavfi -i sine=frequency=500:sample_rate=" +
                              std::to_string(c.rate) + " -ac " + std::to_string(c.channels) +
                              " -t " + std::to_string(c.seconds) + " -c:a " + c.codec + " " +
                              (files_->path() / c.name).string());
    }
  }
  static void TearDownTestSuite() {
    delete files_;
    files_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_TRUE(made_) << "ffmpeg could not make the test files";
  }
  static std::filesystem::path File(const std::string& name) { return files_->path() / name; }

  PluginRoot root_;
  static inline ksv::testing::TempFolder* files_ = nullptr;
  static inline bool made_ = false;
};

TEST_F(WaveParserGraph, DeliversTheFilesSoundInTimedHalfSeconds) {
  for (const WaveCase& c : kCases) {
    SCOPED_TRACE(c.name);
    ParserGraph graph;
    ASSERT_EQ(graph.Open(File(c.name), CLSID_WAVEParser), S_OK);
    ASSERT_EQ(graph.Outputs().size(), 1u);
    PIN_INFO info{};
    graph.Outputs()[0]->QueryPinInfo(&info);
    info.pFilter->Release();
    EXPECT_EQ(std::u16string(info.achName), u"output");

    // The pin's type holds the file's own format.
    const CMediaType type = graph.Sink(0)->ConnectionType();
    std::vector<uint8_t> fmt = FmtChunk(File(c.name));
    ASSERT_GE(fmt.size(), 16u);
    if (fmt.size() == 16) fmt.resize(18, 0);  // WAVEFORMAT gains its cbSize
    EXPECT_EQ(*type.Type(), MEDIATYPE_Audio);
    EXPECT_EQ(*type.Subtype(), FourccSubtype(uint32_t(fmt[0] | fmt[1] << 8)));
    ASSERT_EQ(*type.FormatType(), FORMAT_WaveFormatEx);
    ASSERT_EQ(type.FormatLength(), fmt.size());
    EXPECT_EQ(std::memcmp(type.Format(), fmt.data(), fmt.size()), 0);
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.Format());

    ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
    EXPECT_EQ(graph.Sink(0)->EndsOfStream(), 1);
    const auto expected = FfmpegPacketBytes(File(c.name));
    ASSERT_TRUE(expected);
    EXPECT_EQ(graph.Sink(0)->Bytes(), *expected);

    const auto packets = Framecrc(File(c.name));
    ASSERT_TRUE(packets && !packets->empty());
    int64_t ticks = 0;
    for (const FramecrcPacket& packet : *packets) ticks += packet.duration;
    const REFERENCE_TIME duration = packets->front().Time(ticks);

    const auto samples = graph.Sink(0)->Samples();
    ASSERT_FALSE(samples.empty());
    const LONG halfSecond = static_cast<LONG>(wave->nAvgBytesPerSec / 2);
    REFERENCE_TIME time = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      EXPECT_TRUE(samples[i].hasTime);
      EXPECT_EQ(samples[i].start, time) << i;
      EXPECT_TRUE(samples[i].syncPoint);
      EXPECT_EQ(samples[i].discontinuity, i == 0);
      time = samples[i].stop;
      EXPECT_EQ(samples[i].size % wave->nBlockAlign, 0) << i;
      if (i + 1 < samples.size()) {
        EXPECT_LE(samples[i].size, halfSecond);
        EXPECT_GT(samples[i].size, halfSecond - wave->nBlockAlign);
      }
    }
    EXPECT_EQ(time, duration);
  }
}

TEST_F(WaveParserGraph, FilesWithoutAFormatAreRefusedAtConnection) {
  const char bytes[] = "RIFF\x14\0\0\0WAVEdata\x08\0\0\0\1\2\3\4\5\6\7\x08";
  const std::string noFormat(bytes, sizeof(bytes) - 1);
  const auto path = root_ / "bad.wav";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << noFormat;
  ParserGraph graph;
  EXPECT_EQ(graph.Open(path, CLSID_WAVEParser), VFW_E_INVALID_FILE_FORMAT);
  EXPECT_TRUE(PinsOf(graph.Parser(), PINDIR_OUTPUT).empty());
}

TEST_F(WaveParserGraph, RunsTwiceOnTheSameGraph) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("adpcm.wav"), CLSID_WAVEParser), S_OK);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  const auto first = graph.Sink(0)->Bytes();
  ASSERT_EQ(graph.Control()->Stop(), S_OK);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(graph.Sink(0)->Bytes(), first);
  EXPECT_EQ(graph.Sink(0)->EndsOfStream(), 1);
}

TEST_F(WaveParserGraph, IntelligentConnectFindsTheParserByItsRegistration) {
  com::ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(graph.GetAddressOf())),
            S_OK);
  com::ComPtr<IBaseFilter> source;
  ASSERT_EQ(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             reinterpret_cast<void**>(source.GetAddressOf())),
            S_OK);
  com::ComPtr<IFileSourceFilter> load;
  ASSERT_EQ(source.As(&load), S_OK);
  ASSERT_EQ(load->Load(com::Utf8ToUtf16(File("mulaw.wav").string()).c_str(), nullptr), S_OK);
  ASSERT_EQ(graph->AddFilter(source.Get(), u"Source"), S_OK);
  RecordingSink* sink = RecordingSink::Make();
  ASSERT_EQ(graph->AddFilter(sink, u"Sink"), S_OK);
  const auto out = PinsOf(source.Get(), PINDIR_OUTPUT);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(graph->Connect(out[0].Get(), sink->Input()), S_OK);
  com::ComPtr<IBaseFilter> parser;
  EXPECT_EQ(graph->FindFilterByName(u"Wave Parser", parser.GetAddressOf()), S_OK);
  graph->RemoveFilter(sink);
  sink->Release();
}

}  // namespace
}  // namespace ksv::media::filters::testing
