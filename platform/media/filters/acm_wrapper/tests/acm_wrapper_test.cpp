// The ACM Wrapper in filter graphs with FFmpeg as the oracle: inserted by
// intelligent connect between the Wave Parser of a compressed WAV file and
// a sink that takes only PCM, decoding exactly what FFmpeg decodes; and, as
// the "IMA ADPCM" audio compressor from its category, writing through WAV
// Dest and the File writer a file FFmpeg decodes back to the sound.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/com/inproc_servers.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/common/tests/parser_test_support.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/media/testing/bind_device.h"
#include "testing/temp_files.h"

namespace ksv::media::filters::testing {
namespace {

using com::ComPtr;
using media::testing::PluginRoot;

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// FFmpeg's decode of `file` as 16-bit PCM.
std::vector<int16_t> FfmpegDecode(const std::filesystem::path& file, const std::filesystem::path& raw) {
  if (!Ffmpeg("-i " + file.string() + " -f s16le -c:a pcm_s16le " + raw.string())) return {};
  return Samples(ksv::testing::ReadFile(raw));
}

class AcmGraph : public ::testing::Test {
 protected:
  AcmGraph() : root_({"ksvfilesource.so", "ksvwaveparser.so", "ksvacm.so", "ksvwavdest.so", "ksvfilewriter.so"}) {}
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.ReleaseAndGetAddressOf())),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);  // as fast as the filters go
  }
  // File Source and Wave Parser on `file`: the parser's output pin.
  ComPtr<IPin> OpenWave(const std::filesystem::path& file) {
    ComPtr<IBaseFilter> source, parser;
    const std::u16string name = com::Utf8ToUtf16(file.string());
    EXPECT_EQ(graph_->AddSourceFilter(name.c_str(), u"Source", source.GetAddressOf()), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_WAVEParser, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(parser.GetAddressOf())),
              S_OK);
    graph_->AddFilter(parser.Get(), u"Wave Parser");
    EXPECT_EQ(graph_->ConnectDirect(PinsOf(source.Get(), PINDIR_OUTPUT).at(0).Get(),
                                    PinsOf(parser.Get(), PINDIR_INPUT).at(0).Get(), nullptr),
              S_OK);
    return PinsOf(parser.Get(), PINDIR_OUTPUT).at(0);
  }
  LONG Run() {
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    graph_.As(&control);
    graph_.As(&events);
    if (control->Run() != S_OK && control->Run() != S_FALSE) return -2;
    LONG code = -1;
    events->WaitForCompletion(20000, &code);
    control->Stop();
    return code;
  }

  PluginRoot root_;
  ComPtr<IGraphBuilder> graph_;
};

TEST_F(AcmGraph, IntelligentConnectDecodesImaAdpcmAndG711AsFfmpegDoes) {
  struct Case {
    const char* codec;
    int rate, channels;
  };
  for (const Case c : {Case{"adpcm_ima_wav", 22050, 1}, Case{"adpcm_ima_wav", 11025, 2},
                       Case{"pcm_alaw", 8000, 2}, Case{"pcm_mulaw", 8000, 1}}) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.channels));
    const auto file = root_ / (std::string(c.codec) + std::to_string(c.channels) + ".wav");
    ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(c.rate) + " -ac " +
                       std::to_string(c.channels) + " -t 0.6 -c:a " + c.codec + " " + file.string()));
    SetUp();
    ComPtr<IPin> out = OpenWave(file);
    RecordingSink* sink = RecordingSink::Make(&MEDIASUBTYPE_PCM);
    graph_->AddFilter(sink, u"PCM sink");
    ASSERT_EQ(graph_->Connect(out.Get(), sink->Input()), S_OK);
    // The filter between the parser and the sink is the ACM Wrapper.
    ComPtr<IPin> peer;
    ASSERT_EQ(sink->Input()->ConnectedTo(peer.GetAddressOf()), S_OK);
    PIN_INFO info{};
    peer->QueryPinInfo(&info);
    CLSID between{};
    ComPtr<IPersist> persist;
    ASSERT_EQ(info.pFilter->QueryInterface(IID_IPersist, reinterpret_cast<void**>(persist.GetAddressOf())), S_OK);
    persist->GetClassID(&between);
    info.pFilter->Release();
    EXPECT_EQ(between, CLSID_ACMWrapper);
    EXPECT_EQ(Run(), EC_COMPLETE);
    const std::vector<int16_t> ours = Samples(sink->Bytes());
    const std::vector<int16_t> theirs = FfmpegDecode(file, root_ / "decoded.raw");
    std::filesystem::remove(root_ / "decoded.raw");
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(ours.size(), theirs.size());
    int largest = 0;
    size_t differing = 0;
    for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
      largest = std::max(largest, std::abs(ours[i] - theirs[i]));
      differing += ours[i] != theirs[i] ? 1 : 0;
    }
    // G.711 is exact. FFmpeg expands IMA codes by multiplying ((2n + 1) x
    // step / 8) where the IMA recommendation (and our decoder) adds shifted
    // steps: the two round apart by a few units within a block.
    const bool ima = std::string(c.codec) == "adpcm_ima_wav";
    EXPECT_LE(largest, ima ? 32 : 0) << differing << " samples differ";
    sink->Release();
    graph_ = nullptr;
  }
}

// An entry of the audio compressor category, bound by its moniker.
ComPtr<IBaseFilter> Compressor(const char16_t* wanted) {
  return media::testing::BindDevice(CLSID_AudioCompressorCategory, wanted);
}

TEST_F(AcmGraph, TheImaAdpcmCompressorWritesAWavFfmpegDecodes) {
  const auto pcm = root_ / "tone.wav";
  ASSERT_TRUE(Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=11025 -ac 2 -t 0.5 -c:a pcm_s16le " + pcm.string()));
  ComPtr<IPin> out = OpenWave(pcm);
  ComPtr<IBaseFilter> compressor = Compressor(u"IMA ADPCM");
  ASSERT_NE(compressor, nullptr);
  ComPtr<IBaseFilter> dest, writer;
  ASSERT_EQ(CoCreateInstance(CLSID_WavDest, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dest.GetAddressOf())), S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(writer.GetAddressOf())),
            S_OK);
  graph_->AddFilter(compressor.Get(), u"IMA ADPCM");
  graph_->AddFilter(dest.Get(), u"WAV Dest");
  graph_->AddFilter(writer.Get(), u"File writer");
  const auto adpcm = root_ / "tone-ima.wav";
  ComPtr<IFileSinkFilter> sinkFile;
  writer.As(&sinkFile);
  ASSERT_EQ(sinkFile->SetFileName(com::Utf8ToUtf16(adpcm.string()).c_str(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(out.Get(), PinsOf(compressor.Get(), PINDIR_INPUT).at(0).Get(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(PinsOf(compressor.Get(), PINDIR_OUTPUT).at(0).Get(),
                                  PinsOf(dest.Get(), PINDIR_INPUT).at(0).Get(), nullptr),
            S_OK);
  ASSERT_EQ(graph_->ConnectDirect(PinsOf(dest.Get(), PINDIR_OUTPUT).at(0).Get(),
                                  PinsOf(writer.Get(), PINDIR_INPUT).at(0).Get(), nullptr),
            S_OK);
  EXPECT_EQ(Run(), EC_COMPLETE);
  graph_ = nullptr;
  const std::vector<int16_t> original = FfmpegDecode(pcm, root_ / "original.raw");
  const std::vector<int16_t> decoded = FfmpegDecode(adpcm, root_ / "decoded.raw");
  ASSERT_EQ(original.size(), 5513u * 2);
  // Whole blocks of 505 frames: the last one completed with silence.
  ASSERT_EQ(decoded.size(), 11u * 505 * 2);
  double power = 0, noise = 0;
  for (size_t i = 0; i < original.size(); ++i) {
    power += double(original[i]) * original[i];
    noise += (double(original[i]) - decoded[i]) * (double(original[i]) - decoded[i]);
  }
  EXPECT_GT(10 * std::log10(power / noise), 25.0);
}

}  // namespace
}  // namespace ksv::media::filters::testing
