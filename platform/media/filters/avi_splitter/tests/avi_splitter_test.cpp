// The AVI Splitter in a filter graph behind the File Source, with FFmpeg
// as the oracle: the packets of files FFmpeg makes, the pins' media types,
// truncated, corrupt and vanishing files, stopping in the middle, running
// twice, disconnecting, and the pins' IMediaSeeking.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/com/task_memory.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/common/tests/parser_test_support.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/temp_files.h"

namespace ksv::media::filters::testing {
namespace {

using com::ComPtr;
using media::testing::PluginRoot;

constexpr int kVideo = 0;
constexpr int kAudio = 1;

class AviSplitterGraph : public ::testing::Test {
 protected:
  AviSplitterGraph() : root_({"ksvfilesource.so", "ksvavisplit.so"}) {}

  static void SetUpTestSuite() {
    if (!HaveFfmpeg()) return;
    files_ = new ksv::testing::TempFolder();
    const std::string folder = files_->path().string() + "/";
    // One second of 64x48 Motion JPEG at 10 frames a second with 8 kHz
    // 16-bit sound; IMA ADPCM sound alone; a long film for stopping.
    made_ = Ffmpeg("-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i "
                   "sine=frequency=440:sample_rate=8000 -t 1 -c:v mjpeg -c:a pcm_s16le " +
                   folder + "mjpeg_pcm.avi") &&
            Ffmpeg("-f lavfi -i sine=frequency=300:sample_rate=22050 -t 2 -c:a adpcm_ima_wav " +
                   folder + "adpcm.avi") &&
            Ffmpeg("-f lavfi -i testsrc=size=32x24:rate=25 -t 60 -c:v mjpeg -q:v 20 " + folder +
                   "long.avi");
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
  // A copy of `name` in the test's own folder, cut to `bytes` bytes.
  std::filesystem::path Truncated(const std::string& name, uintmax_t bytes) {
    const auto copy = root_ / ("cut_" + name);
    std::filesystem::copy_file(File(name), copy);
    std::filesystem::resize_file(copy, bytes);
    return copy;
  }

  static std::vector<FramecrcPacket> PacketsOf(const std::vector<FramecrcPacket>& all,
                                               int stream) {
    std::vector<FramecrcPacket> packets;
    for (const FramecrcPacket& packet : all) {
      if (packet.stream == stream) packets.push_back(packet);
    }
    return packets;
  }

  // Our samples are FFmpeg's packets: sizes, contents and times.
  static void ExpectSamplesArePackets(const std::vector<RecordedSample>& samples,
                                      const std::vector<FramecrcPacket>& packets) {
    ASSERT_EQ(samples.size(), packets.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      SCOPED_TRACE("sample " + std::to_string(i));
      EXPECT_EQ(samples[i].size, static_cast<LONG>(packets[i].size));
      EXPECT_EQ(samples[i].adler, packets[i].adler);
      ASSERT_TRUE(samples[i].hasTime);
      EXPECT_EQ(samples[i].start, packets[i].Time(packets[i].pts));
      EXPECT_EQ(samples[i].stop, packets[i].Time(packets[i].pts + packets[i].duration));
      EXPECT_EQ(samples[i].discontinuity, i == 0);
      EXPECT_FALSE(samples[i].preroll);
    }
  }

  // The process's threads now. A first thread is started and joined
  // before counting, because a sanitizer starts a helper thread of its own
  // when the process makes its first one, which would count as ours.
  static int ThreadCount() {
    static const bool warmed = [] {
      std::thread([] {}).join();
      return true;
    }();
    (void)warmed;
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
      ++count;
    }
    return count;
  }

  PluginRoot root_;
  static inline ksv::testing::TempFolder* files_ = nullptr;
  static inline bool made_ = false;
};

// The bytes of a string literal, zeros included.
template <size_t N>
std::string Literal(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

std::u16string PinName(IPin* pin) {
  PIN_INFO info{};
  pin->QueryPinInfo(&info);
  if (info.pFilter != nullptr) info.pFilter->Release();
  return info.achName;
}

TEST_F(AviSplitterGraph, DeliversFfmpegsPacketsWithTheirTimesAndEndsEachStream) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  ASSERT_EQ(graph.Outputs().size(), 2u);
  EXPECT_EQ(PinName(graph.Outputs()[0].Get()), u"Stream 00");
  EXPECT_EQ(PinName(graph.Outputs()[1].Get()), u"Stream 01");
  const auto packets = Framecrc(File("mjpeg_pcm.avi"));
  ASSERT_TRUE(packets);

  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  const auto video = graph.Sink(kVideo)->Samples();
  ExpectSamplesArePackets(video, PacketsOf(*packets, kVideo));
  for (const RecordedSample& sample : video) EXPECT_TRUE(sample.syncPoint);
  ExpectSamplesArePackets(graph.Sink(kAudio)->Samples(), PacketsOf(*packets, kAudio));
  for (size_t output = 0; output < 2; ++output) {
    EXPECT_EQ(graph.Sink(output)->EndsOfStream(), 1);
    // One segment, the whole stream, before the samples.
    LONGLONG duration = 0;
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(graph.Outputs()[output].As(&seeking), S_OK);
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    const auto segments = graph.Sink(output)->Segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].start, 0);
    EXPECT_EQ(segments[0].stop, duration);
    EXPECT_EQ(segments[0].rate, 1.0);
  }
}

TEST_F(AviSplitterGraph, PinsOfferTheStreamsFormats) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  const CMediaType video = graph.Sink(kVideo)->ConnectionType();
  EXPECT_EQ(*video.Type(), MEDIATYPE_Video);
  EXPECT_EQ(*video.Subtype(), MEDIASUBTYPE_MJPG);
  ASSERT_EQ(*video.FormatType(), FORMAT_VideoInfo);
  ASSERT_GE(video.FormatLength(), sizeof(VIDEOINFOHEADER));
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(video.Format());
  EXPECT_EQ(info->AvgTimePerFrame, 1'000'000);
  EXPECT_EQ(info->bmiHeader.biWidth, 64);
  EXPECT_EQ(info->bmiHeader.biHeight, 48);
  EXPECT_EQ(info->bmiHeader.biCompression, 0x47504A4Du);  // "MJPG"
  EXPECT_FALSE(video.IsFixedSize());

  const CMediaType audio = graph.Sink(kAudio)->ConnectionType();
  EXPECT_EQ(*audio.Type(), MEDIATYPE_Audio);
  EXPECT_EQ(*audio.Subtype(), MEDIASUBTYPE_PCM);
  ASSERT_EQ(*audio.FormatType(), FORMAT_WaveFormatEx);
  ASSERT_GE(audio.FormatLength(), sizeof(WAVEFORMATEX));
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(audio.Format());
  EXPECT_EQ(wave->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave->nChannels, 1);
  EXPECT_EQ(wave->nSamplesPerSec, 8000u);
  EXPECT_EQ(wave->nBlockAlign, 2);
  EXPECT_EQ(wave->wBitsPerSample, 16);
  EXPECT_EQ(wave->cbSize, audio.FormatLength() - sizeof(WAVEFORMATEX));
  EXPECT_EQ(audio.GetSampleSize(), 2u);
}

TEST_F(AviSplitterGraph, ImaAdpcmSoundMatchesFfmpeg) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("adpcm.avi"), CLSID_AviSplitter), S_OK);
  ASSERT_EQ(graph.Outputs().size(), 1u);
  const CMediaType audio = graph.Sink(0)->ConnectionType();
  EXPECT_EQ(*audio.Subtype(), FourccSubtype(0x11));
  const auto packets = Framecrc(File("adpcm.avi"));
  ASSERT_TRUE(packets);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  ExpectSamplesArePackets(graph.Sink(0)->Samples(), *packets);
}

TEST_F(AviSplitterGraph, TruncatedFileDeliversItsWholeChunksThenEnds) {
  const auto full = Framecrc(File("mjpeg_pcm.avi"));
  ASSERT_TRUE(full);
  const auto cut = Truncated("mjpeg_pcm.avi", std::filesystem::file_size(File("mjpeg_pcm.avi")) * 6 / 10);
  ParserGraph graph;
  ASSERT_EQ(graph.Open(cut, CLSID_AviSplitter), S_OK);
  ASSERT_EQ(graph.Outputs().size(), 2u);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  for (int stream : {kVideo, kAudio}) {
    const auto samples = graph.Sink(stream)->Samples();
    const auto packets = PacketsOf(*full, stream);
    EXPECT_GT(samples.size(), 0u);
    EXPECT_LT(samples.size(), packets.size());
    // What arrives is the start of the stream, chunk for chunk.
    for (size_t i = 0; i < samples.size() && i < packets.size(); ++i) {
      EXPECT_EQ(samples[i].size, static_cast<LONG>(packets[i].size)) << i;
      EXPECT_EQ(samples[i].adler, packets[i].adler) << i;
    }
    EXPECT_EQ(graph.Sink(stream)->EndsOfStream(), 1);
  }
}

TEST_F(AviSplitterGraph, FilesThatAreNotAviAreRefusedAtConnection) {
  // A RIFF AVI header with nothing readable behind it, and one whose
  // header list is cut short.
  const std::string noHeaders = Literal("RIFF\x14\0\0\0AVI JUNK\x08\0\0\0\0\0\0\0\0\0\0\0");
  const std::string cutHeaders = Literal("RIFF\x40\0\0\0AVI LIST\x34\0\0\0hdrlavih\x38\0\0\0\x40\x42");
  for (const std::string& bytes : {noHeaders, cutHeaders}) {
    const auto path = root_ / "bad.avi";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ParserGraph graph;
    EXPECT_EQ(graph.Open(path, CLSID_AviSplitter), VFW_E_INVALID_FILE_FORMAT);
    EXPECT_TRUE(PinsOf(graph.Parser(), PINDIR_OUTPUT).empty());
  }
}

TEST_F(AviSplitterGraph, ReadFailureAbortsTheStreamThenEndsIt) {
  const auto copy = root_ / "vanishing.avi";
  std::filesystem::copy_file(File("mjpeg_pcm.avi"), copy);
  ParserGraph graph;
  ASSERT_EQ(graph.Open(copy, CLSID_AviSplitter), S_OK);
  // The index was read at connection; the chunks are gone when streaming.
  std::filesystem::resize_file(copy, std::filesystem::file_size(copy) / 3);
  EXPECT_EQ(graph.RunToEnd(), EC_ERRORABORT);
  // The end of stream follows the error report.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int stream : {kVideo, kAudio}) {
    while (graph.Sink(stream)->EndsOfStream() == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(graph.Sink(stream)->EndsOfStream(), 1);
    EXPECT_LT(graph.Sink(stream)->Samples().size(), stream == kVideo ? 10u : 8u);
  }
}

TEST_F(AviSplitterGraph, StopInTheMiddleReturnsPromptlyAndLeavesNoThread) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("long.avi"), CLSID_AviSplitter), S_OK);
  ASSERT_EQ(graph.Outputs().size(), 1u);
  RecordingSink* sink = graph.Sink(0);
  sink->SetDelay(5);
  const int threadsBefore = ThreadCount();
  ASSERT_EQ(graph.Control()->Run(), S_OK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sink->Samples().size() < 10 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const auto stopping = std::chrono::steady_clock::now();
  ASSERT_EQ(graph.Control()->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(500));
  const size_t delivered = sink->Samples().size();
  EXPECT_GE(delivered, 10u);
  EXPECT_LT(delivered, 1500u);  // the film has 1,500 frames
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sink->Samples().size(), delivered);
  EXPECT_EQ(sink->EndsOfStream(), 0);
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST_F(AviSplitterGraph, StopWakesAThreadWaitingForABuffer) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("long.avi"), CLSID_AviSplitter), S_OK);
  RecordingSink* sink = graph.Sink(0);
  sink->HoldSamples(true);
  ASSERT_EQ(graph.Control()->Run(), S_OK);
  // Once the sink holds every buffer the thread waits for one to come back.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sink->Samples().size() < 4 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const size_t delivered = sink->Samples().size();
  EXPECT_GE(delivered, 4u);
  EXPECT_LT(delivered, 64u);
  const auto stopping = std::chrono::steady_clock::now();
  ASSERT_EQ(graph.Control()->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::milliseconds(500));
  EXPECT_EQ(sink->Samples().size(), delivered);
  sink->ReleaseHeld();
}

TEST_F(AviSplitterGraph, RunsTwiceOnTheSameGraph) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  const auto first = graph.Sink(kVideo)->Samples();
  ASSERT_EQ(graph.Control()->Stop(), S_OK);
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  const auto second = graph.Sink(kVideo)->Samples();
  ASSERT_EQ(second.size(), first.size());
  ASSERT_FALSE(second.empty());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(second[i].adler, first[i].adler);
    EXPECT_EQ(second[i].start, first[i].start);
  }
  EXPECT_TRUE(second[0].discontinuity);
  EXPECT_EQ(graph.Sink(kVideo)->EndsOfStream(), 1);
  EXPECT_EQ(graph.Sink(kAudio)->EndsOfStream(), 1);
}

TEST_F(AviSplitterGraph, DisconnectingTheInputRemovesTheOutputPins) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  ComPtr<IEnumPins> before;
  ASSERT_EQ(graph.Parser()->EnumPins(before.GetAddressOf()), S_OK);
  const auto input = PinsOf(graph.Parser(), PINDIR_INPUT);
  ASSERT_EQ(input.size(), 1u);
  ComPtr<IPin> source;
  ASSERT_EQ(input[0]->ConnectedTo(source.GetAddressOf()), S_OK);
  ASSERT_EQ(graph.Graph()->Disconnect(input[0].Get()), S_OK);
  ASSERT_EQ(graph.Graph()->Disconnect(source.Get()), S_OK);

  EXPECT_TRUE(PinsOf(graph.Parser(), PINDIR_OUTPUT).empty());
  for (int stream : {kVideo, kAudio}) {
    ComPtr<IPin> peer;
    EXPECT_EQ(graph.Sink(stream)->Input()->ConnectedTo(peer.GetAddressOf()),
              VFW_E_NOT_CONNECTED);
  }
  ComPtr<IPin> stale;
  EXPECT_EQ(before->Next(1, stale.GetAddressOf(), nullptr), VFW_E_ENUM_OUT_OF_SYNC);

  // Connecting again makes them again.
  ASSERT_EQ(graph.Graph()->ConnectDirect(source.Get(), input[0].Get(), nullptr), S_OK);
  EXPECT_EQ(PinsOf(graph.Parser(), PINDIR_OUTPUT).size(), 2u);
}

TEST_F(AviSplitterGraph, OutputPinsSeekTheWholeStream) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(graph.Outputs()[kVideo].As(&seeking), S_OK);
  DWORD capabilities = 0;
  ASSERT_EQ(seeking->GetCapabilities(&capabilities), S_OK);
  EXPECT_NE(capabilities & AM_SEEKING_CanGetDuration, 0u);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_FALSE);
  LONGLONG duration = 0, current = -1;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 10'000'000);  // ten frames of 0.1 s
  ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
  EXPECT_EQ(current, 0);

  LONGLONG start = 0, stop = duration;
  EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop,
                                  AM_SEEKING_AbsolutePositioning),
            S_OK);
  LONGLONG middle = duration / 2;
  EXPECT_EQ(seeking->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr,
                                  AM_SEEKING_NoPositioning),
            E_NOTIMPL);

  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
  EXPECT_EQ(current, duration);
}

// At twice the rate every sample comes stamped at half its file time, and
// the segment says so; a rate of zero or below is refused.
TEST_F(AviSplitterGraph, AtTwiceTheRateTheSamplesComeInHalfTheTime) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  const auto packets = Framecrc(File("mjpeg_pcm.avi"));
  ASSERT_TRUE(packets.has_value());
  for (size_t output = 0; output < 2; ++output) {
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(graph.Outputs()[output].As(&seeking), S_OK);
    EXPECT_EQ(seeking->SetRate(0.0), E_INVALIDARG);
    EXPECT_EQ(seeking->SetRate(-2.0), E_INVALIDARG);
    ASSERT_EQ(seeking->SetRate(2.0), S_OK);
    double rate = 0;
    ASSERT_EQ(seeking->GetRate(&rate), S_OK);
    EXPECT_EQ(rate, 2.0);
  }
  ASSERT_EQ(graph.RunToEnd(), EC_COMPLETE);
  for (const int output : {kVideo, kAudio}) {
    const std::vector<FramecrcPacket> file = PacketsOf(*packets, output);
    const std::vector<RecordedSample> samples = graph.Sink(output)->Samples();
    ASSERT_EQ(samples.size(), file.size());
    for (size_t index = 0; index < samples.size(); ++index) {
      EXPECT_EQ(samples[index].start, file[index].Time(file[index].pts) / 2) << index;
    }
    const auto segments = graph.Sink(output)->Segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].rate, 2.0);
  }
}

// A rate changed while the file plays applies from the next packet: the
// times run on without a gap, the samples after it are half as long, and
// a new segment at that packet's file time carries the rate.
TEST_F(AviSplitterGraph, ARateChangedWhilePlayingGoesOnFromTheNextPacket) {
  ParserGraph graph;
  ASSERT_EQ(graph.Open(File("mjpeg_pcm.avi"), CLSID_AviSplitter), S_OK);
  RecordingSink* video = graph.Sink(kVideo);
  // Slow enough (half a second in all) that the rate changes mid-file even
  // when the thread that changes it is late to run.
  video->SetDelay(50);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(graph.Outputs()[kVideo].As(&seeking), S_OK);
  std::thread changer([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (video->Samples().empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    seeking->SetRate(2.0);
  });
  const LONG end = graph.RunToEnd();
  changer.join();
  ASSERT_EQ(end, EC_COMPLETE);
  const std::vector<RecordedSample> samples = video->Samples();
  ASSERT_EQ(samples.size(), 10u);
  constexpr REFERENCE_TIME kFrame = 1'000'000;  // 0.1 s
  size_t firstFast = samples.size();
  for (size_t index = 0; index < samples.size(); ++index) {
    if (index > 0) {
      EXPECT_EQ(samples[index].start, samples[index - 1].stop) << index;
    }
    const REFERENCE_TIME length = samples[index].stop - samples[index].start;
    if (firstFast == samples.size() && length == kFrame / 2) firstFast = index;
    EXPECT_EQ(length, index < firstFast ? kFrame : kFrame / 2) << index;
  }
  ASSERT_GE(firstFast, 1u) << "the first frame went out at the normal rate";
  ASSERT_LT(firstFast, samples.size()) << "the new rate came into effect";
  const auto segments = video->Segments();
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[0].rate, 1.0);
  EXPECT_EQ(segments[1].rate, 2.0);
  EXPECT_EQ(segments[1].start, static_cast<REFERENCE_TIME>(firstFast) * kFrame);
}

TEST_F(AviSplitterGraph, IntelligentConnectFindsTheSplitterByItsRegistration) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             reinterpret_cast<void**>(graph.GetAddressOf())),
            S_OK);
  ComPtr<IBaseFilter> source;
  ASSERT_EQ(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             reinterpret_cast<void**>(source.GetAddressOf())),
            S_OK);
  ComPtr<IFileSourceFilter> load;
  ASSERT_EQ(source.As(&load), S_OK);
  ASSERT_EQ(load->Load(com::Utf8ToUtf16(File("adpcm.avi").string()).c_str(), nullptr), S_OK);
  ASSERT_EQ(graph->AddFilter(source.Get(), u"Source"), S_OK);
  RecordingSink* sink = RecordingSink::Make();
  ASSERT_EQ(graph->AddFilter(sink, u"Sink"), S_OK);
  const auto out = PinsOf(source.Get(), PINDIR_OUTPUT);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(graph->Connect(out[0].Get(), sink->Input()), S_OK);
  ComPtr<IBaseFilter> splitter;
  EXPECT_EQ(graph->FindFilterByName(u"AVI Splitter", splitter.GetAddressOf()), S_OK);
  graph->RemoveFilter(sink);
  sink->Release();
}

}  // namespace
}  // namespace ksv::media::filters::testing
