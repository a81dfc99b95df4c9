// The MPEG-1 filters in a graph: File Source -> MPEG-I Stream Splitter ->
// MPEG Video / Audio Decoder -> capture sinks, on system streams that
// ffmpeg makes (the tests skip without it) and with ffmpeg and ffprobe as
// the oracles of what the stream holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/tests/capture_sink.h"
#include "platform/media/filters/mpeg1/tests/failing_reader.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/temp_files.h"

namespace {

using ksv::com::ComPtr;
using ksv::media::mpeg1::testing::CaptureSink;
using ksv::media::mpeg1::testing::FailingReader;
using ksv::media::testing::PluginRoot;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 44100;

// The command's standard output, or nothing when it failed.
std::optional<std::string> Command(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char chunk[4096];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  if (pclose(pipe) != 0) return std::nullopt;
  return output;
}

// The test stream and what ffmpeg says of it, made once.
struct Stream {
  ksv::testing::TempFolder folder;
  std::filesystem::path file;
  int frames = 0;
  double audioSeconds = 0;
  std::vector<uint8_t> firstFrame;  // BGR24, top-down
  std::vector<uint8_t> pcm;         // the audio decoded, 16-bit
};

Stream* MakeStream() {
  if (!Command("ffmpeg -version") || !Command("ffprobe -version")) return nullptr;
  auto* stream = new Stream;
  stream->file = stream->folder / "clip.mpg";
  const std::string file = stream->file.string();
  const auto made = Command(
      "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i "
      "sine=frequency=440:duration=2 -c:v mpeg1video -c:a mp2 -f mpeg '" + file + "'");
  const auto frames = Command("ffprobe -v error -count_frames -select_streams v "
                              "-show_entries stream=nb_read_frames -of csv=p=0 '" + file + "'");
  const auto seconds = Command("ffprobe -v error -select_streams a -show_entries "
                               "stream=duration -of csv=p=0 '" + file + "'");
  const auto reference = stream->folder / "first.bgr";
  const auto extracted = Command("ffmpeg -v error -y -i '" + file +
                                 "' -vf 'select=eq(n\\,0)' -frames:v 1 -f rawvideo "
                                 "-pix_fmt bgr24 '" + reference.string() + "'");
  const auto pcm = stream->folder / "audio.pcm";
  const auto decoded = Command("ffmpeg -v error -y -i '" + file + "' -map 0:a -f s16le '" +
                               pcm.string() + "'");
  if (!made || !frames || !seconds || !extracted || !decoded) {
    delete stream;
    return nullptr;
  }
  stream->frames = std::stoi(*frames);
  stream->audioSeconds = std::stod(*seconds);
  stream->firstFrame = ksv::testing::ReadFile(reference);
  stream->pcm = ksv::testing::ReadFile(pcm);
  return stream;
}

const Stream* TestStream() {
  static Stream* stream = MakeStream();
  return stream;
}

// Peak signal-to-noise ratio of a bottom-up BGR picture (`bytesPerPixel`
// 3 or 4, rows padded to 4 bytes) against a top-down BGR24 one.
double Psnr(const std::vector<uint8_t>& bottomUp, int bytesPerPixel,
            const std::vector<uint8_t>& reference) {
  const size_t stride = ((kWidth * bytesPerPixel) + 3) / 4 * 4;
  if (bottomUp.size() < stride * kHeight || reference.size() < size_t{kWidth} * kHeight * 3) {
    return 0;
  }
  double squares = 0;
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = bottomUp.data() + (kHeight - 1 - y) * stride;
    const uint8_t* wanted = reference.data() + static_cast<size_t>(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      for (int c = 0; c < 3; ++c) {
        const double difference = static_cast<double>(row[x * bytesPerPixel + c]) - wanted[x * 3 + c];
        squares += difference * difference;
      }
    }
  }
  const double mse = squares / (double{kWidth} * kHeight * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Rising zero crossings per second of 16-bit mono samples; a crossing
// counts when the signal goes from below -kThreshold to above +kThreshold,
// so coding noise around zero does not add any.
double CrossingsPerSecond(const std::vector<uint8_t>& bytes) {
  constexpr int kThreshold = 512;
  const size_t count = bytes.size() / 2;
  int crossings = 0;
  bool below = false;
  for (size_t i = 0; i < count; ++i) {
    int16_t value;
    std::memcpy(&value, bytes.data() + 2 * i, 2);
    if (value < -kThreshold) below = true;
    if (value > kThreshold && below) {
      ++crossings;
      below = false;
    }
  }
  return crossings / (static_cast<double>(count) / kRate);
}

class MpegGraph : public ::testing::Test {
 protected:
  MpegGraph() : root_({"ksvfilesource.so", "ksvmpeg1.so"}) {}

  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    stream_ = TestStream();
    if (stream_ == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are needed to make MPEG streams";
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGraphBuilder, reinterpret_cast<void**>(graph_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(graph_.As(&control_), S_OK);
    ASSERT_EQ(graph_.As(&events_), S_OK);
  }
  void TearDown() override {
    if (control_) control_->Stop();
    for (CaptureSink* sink : sinks_) sink->Release();
  }

  ComPtr<IBaseFilter> Add(const CLSID& clsid, const char16_t* name) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(filter.GetAddressOf())),
              S_OK);
    if (filter) {
      EXPECT_EQ(graph_->AddFilter(filter.Get(), name), S_OK);
    }
    return filter;
  }
  static ComPtr<IPin> Pin(const ComPtr<IBaseFilter>& filter, const char16_t* name) {
    ComPtr<IPin> pin;
    if (filter) filter->FindPin(name, pin.GetAddressOf());
    return pin;
  }
  CaptureSink* AddSink(const GUID& major, std::vector<GUID> subtypes, bool keepAllBytes) {
    auto* sink = new CaptureSink(major, std::move(subtypes), keepAllBytes);
    sink->AddRef();
    sinks_.push_back(sink);
    EXPECT_EQ(graph_->AddFilter(sink, nullptr), S_OK);
    return sink;
  }
  // The File Source on `file` joined to a new splitter; the connection's result.
  HRESULT OpenSplitter(const std::filesystem::path& file) {
    source_ = Add(CLSID_AsyncReader, u"source");
    ComPtr<IFileSourceFilter> load;
    EXPECT_EQ(source_.As(&load), S_OK);
    EXPECT_EQ(load->Load(ksv::com::Utf8ToUtf16(file.string()).c_str(), nullptr), S_OK);
    splitter_ = Add(CLSID_MPEG1Splitter, u"splitter");
    return graph_->ConnectDirect(Pin(source_, u"Output").Get(), Pin(splitter_, u"Input").Get(),
                                 nullptr);
  }
  // Splitter -> decoder -> a new sink, by direct connections.
  CaptureSink* Decode(const char16_t* pinName, const CLSID& decoder, const GUID& major,
                      std::vector<GUID> subtypes, bool keepAllBytes) {
    ComPtr<IBaseFilter> filter = Add(decoder, nullptr);
    EXPECT_EQ(graph_->ConnectDirect(Pin(splitter_, pinName).Get(), Pin(filter, u"XForm In").Get(),
                                    nullptr),
              S_OK);
    CaptureSink* sink = AddSink(major, std::move(subtypes), keepAllBytes);
    EXPECT_EQ(graph_->ConnectDirect(Pin(filter, u"XForm Out").Get(), sink->Input(), nullptr), S_OK);
    return sink;
  }
  void NoClock() {
    ComPtr<IMediaFilter> filter;
    ASSERT_EQ(graph_.As(&filter), S_OK);
    ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
  }
  // Runs the graph to its end; the event that ended it.
  LONG RunToEnd() {
    EXPECT_TRUE(SUCCEEDED(control_->Run()));
    LONG code = 0;
    EXPECT_EQ(events_->WaitForCompletion(20000, &code), S_OK);
    control_->Stop();
    return code;
  }

  PluginRoot root_;
  const Stream* stream_ = nullptr;
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IBaseFilter> source_;
  ComPtr<IBaseFilter> splitter_;
  std::vector<CaptureSink*> sinks_;
};

TEST_F(MpegGraph, SplitterDescribesTheVideoAndAudioStreams) {
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  ComPtr<IPin> video = Pin(splitter_, u"Video");
  ComPtr<IPin> audio = Pin(splitter_, u"Audio");
  ASSERT_TRUE(video && audio);

  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(video->EnumMediaTypes(types.GetAddressOf()), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  EXPECT_EQ(type->majortype, MEDIATYPE_Video);
  EXPECT_EQ(type->subtype, MEDIASUBTYPE_MPEG1Payload);
  ASSERT_EQ(type->formattype, FORMAT_MPEGVideo);
  ASSERT_GE(type->cbFormat, MPEG1VIDEOINFO_HEADER_SIZE + 12);
  const auto* info = reinterpret_cast<const MPEG1VIDEOINFO*>(type->pbFormat);
  EXPECT_EQ(info->hdr.bmiHeader.biWidth, kWidth);
  EXPECT_EQ(info->hdr.bmiHeader.biHeight, kHeight);
  EXPECT_EQ(info->hdr.AvgTimePerFrame, 400000);
  EXPECT_EQ(type->cbFormat, MPEG1VIDEOINFO_HEADER_SIZE + info->cbSequenceHeader);
  const uint8_t start[] = {0x00, 0x00, 0x01, 0xB3};
  EXPECT_EQ(std::memcmp(info->bSequenceHeader, start, 4), 0);
  DeleteMediaType(type);

  ASSERT_EQ(audio->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  EXPECT_EQ(type->majortype, MEDIATYPE_Audio);
  EXPECT_EQ(type->subtype, MEDIASUBTYPE_MPEG1AudioPayload);
  ASSERT_EQ(type->formattype, FORMAT_WaveFormatEx);
  ASSERT_EQ(type->cbFormat, sizeof(MPEG1WAVEFORMAT));
  MPEG1WAVEFORMAT wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  EXPECT_EQ(wave.wfx.wFormatTag, WAVE_FORMAT_MPEG);
  EXPECT_EQ(wave.wfx.nChannels, 1);
  EXPECT_EQ(wave.wfx.nSamplesPerSec, DWORD{kRate});
  EXPECT_EQ(wave.wfx.cbSize, 22);
  EXPECT_EQ(wave.fwHeadLayer, ACM_MPEG_LAYER2);
  EXPECT_EQ(wave.fwHeadMode, ACM_MPEG_SINGLECHANNEL);
  EXPECT_GT(wave.dwHeadBitrate, 0u);
  DeleteMediaType(type);

  // Disconnecting the input takes the output pins away.
  ASSERT_EQ(control_->Stop(), S_OK);
  ComPtr<IPin> input = Pin(splitter_, u"Input");
  ComPtr<IPin> output = Pin(source_, u"Output");
  ASSERT_EQ(graph_->Disconnect(input.Get()), S_OK);
  ASSERT_EQ(graph_->Disconnect(output.Get()), S_OK);
  EXPECT_FALSE(Pin(splitter_, u"Video"));
  EXPECT_FALSE(Pin(splitter_, u"Audio"));
}

TEST_F(MpegGraph, DecodesEveryFrameAndSampleLikeFfmpeg) {
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, true);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_EQ(video->endOfStreams(), 1);
  EXPECT_EQ(audio->endOfStreams(), 1);

  // RGB24 is offered first: bottom-up, rows of whole words.
  const CMediaType videoType = video->type();
  EXPECT_EQ(*videoType.Subtype(), MEDIASUBTYPE_RGB24);
  ASSERT_EQ(*videoType.FormatType(), FORMAT_VideoInfo);
  const BITMAPINFOHEADER* bitmap = HEADER(videoType.Format());
  EXPECT_EQ(bitmap->biWidth, kWidth);
  EXPECT_EQ(bitmap->biHeight, kHeight);
  EXPECT_EQ(bitmap->biBitCount, 24);
  EXPECT_EQ(bitmap->biSizeImage, DWORD{kWidth * 3 * kHeight});

  EXPECT_EQ(video->samples(), stream_->frames);
  EXPECT_EQ(video->byteCount(), int64_t{stream_->frames} * kWidth * 3 * kHeight);
  EXPECT_GT(Psnr(video->bytes(), 3, stream_->firstFrame), 35.0);
  const auto times = video->times();
  ASSERT_FALSE(times.empty());
  EXPECT_GE(times.front().first, 0);
  EXPECT_LT(times.front().first, 1'000'000);  // the stream starts near its first frame
  for (size_t i = 1; i < times.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(times[i].first - times[i - 1].first), 400000, 2) << i;
    EXPECT_EQ(times[i].second - times[i].first, 400000) << i;
  }

  const CMediaType audioType = audio->type();
  ASSERT_EQ(*audioType.FormatType(), FORMAT_WaveFormatEx);
  WAVEFORMATEX wave;
  std::memcpy(&wave, audioType.Format(), sizeof wave);
  EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave.nChannels, 1);
  EXPECT_EQ(wave.nSamplesPerSec, DWORD{kRate});
  EXPECT_EQ(wave.wBitsPerSample, 16);
  EXPECT_EQ(wave.nBlockAlign, 2);
  const std::vector<uint8_t> pcm = audio->bytes();
  EXPECT_NEAR(static_cast<double>(pcm.size() / 2), stream_->audioSeconds * kRate, 1152);
  EXPECT_NEAR(CrossingsPerSecond(pcm), 440.0, 4.0);
  // Sample for sample what ffmpeg decodes (rounding aside).
  ASSERT_EQ(pcm.size(), stream_->pcm.size());
  int worst = 0;
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
    int16_t ours;
    int16_t theirs;
    std::memcpy(&ours, pcm.data() + i, 2);
    std::memcpy(&theirs, stream_->pcm.data() + i, 2);
    worst = std::max(worst, std::abs(ours - theirs));
  }
  EXPECT_LE(worst, 1);
  // Audio times run on without gaps, by sample count.
  const auto audioTimes = audio->times();
  for (size_t i = 1; i < audioTimes.size(); ++i) {
    EXPECT_EQ(audioTimes[i].first, audioTimes[i - 1].second) << i;
  }
}

TEST_F(MpegGraph, IntelligentConnectInsertsTheRegisteredDecoders) {
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  CaptureSink* video = AddSink(MEDIATYPE_Video, {MEDIASUBTYPE_RGB32}, false);
  CaptureSink* audio = AddSink(MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  ASSERT_EQ(graph_->Connect(Pin(splitter_, u"Video").Get(), video->Input()), S_OK);
  ASSERT_EQ(graph_->Connect(Pin(splitter_, u"Audio").Get(), audio->Input()), S_OK);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  // RGB32 when the sink wants it: the same pictures, four bytes a pixel.
  EXPECT_EQ(*video->type().Subtype(), MEDIASUBTYPE_RGB32);
  EXPECT_EQ(video->samples(), stream_->frames);
  EXPECT_GT(Psnr(video->bytes(), 4, stream_->firstFrame), 35.0);
  EXPECT_GT(audio->samples(), 0);
}

TEST_F(MpegGraph, UnconnectedPinDropsItsPacketsAndTheOtherEnds) {
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, true);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_EQ(audio->endOfStreams(), 1);
  EXPECT_NEAR(static_cast<double>(audio->byteCount() / 2), stream_->audioSeconds * kRate, 1152);
}

TEST_F(MpegGraph, StopMidStreamIsPromptAndTheNextRunStartsOver) {
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  // On the graph's clock the two seconds play in real time.
  ASSERT_TRUE(SUCCEEDED(control_->Run()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (video->samples() < 5 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(video->samples(), 5);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  const int partial = video->samples();
  EXPECT_LT(partial, stream_->frames);
  EXPECT_EQ(video->endOfStreams(), 0);

  // Run again without a clock: the whole stream, from its first byte.
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_EQ(video->samples() - partial, stream_->frames);
  EXPECT_EQ(video->endOfStreams(), 1);
  EXPECT_EQ(audio->endOfStreams(), 1);
}

TEST_F(MpegGraph, DamagedStreamsFailToConnectOrEndWithoutCrashing) {
  const std::vector<uint8_t> whole = ksv::testing::ReadFile(stream_->file);
  std::mt19937 random(17);

  // Noise behind a pack start code: sniffed as a system stream, not one.
  std::vector<uint8_t> noise(64 * 1024);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  const uint8_t pack[] = {0x00, 0x00, 0x01, 0xBA};
  std::memcpy(noise.data(), pack, 4);
  ksv::testing::WriteFile(root_ / "noise.mpg", noise);
  const HRESULT noiseResult = OpenSplitter(root_ / "noise.mpg");
  EXPECT_TRUE(FAILED(noiseResult)) << std::hex << noiseResult;
  EXPECT_FALSE(Pin(splitter_, u"Video"));
}

TEST_F(MpegGraph, TruncatedStreamDecodesWhatIsThere) {
  const std::vector<uint8_t> whole = ksv::testing::ReadFile(stream_->file);
  std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 2 / 5));
  ksv::testing::WriteFile(root_ / "cut.mpg", cut);
  ASSERT_EQ(OpenSplitter(root_ / "cut.mpg"), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  NoClock();
  const LONG code = RunToEnd();
  EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT) << code;
  EXPECT_GT(video->samples(), 0);
  EXPECT_LT(video->samples(), stream_->frames);
  EXPECT_EQ(video->endOfStreams(), 1);
  EXPECT_EQ(audio->endOfStreams(), 1);
}

TEST_F(MpegGraph, GarbageInsideTheStreamIsSurvived) {
  std::vector<uint8_t> bytes = ksv::testing::ReadFile(stream_->file);
  std::mt19937 random(5);
  for (size_t at = bytes.size() / 3; at < bytes.size() / 3 + 30000; ++at) {
    bytes[at] = static_cast<uint8_t>(random());
  }
  ksv::testing::WriteFile(root_ / "damaged.mpg", bytes);
  ASSERT_EQ(OpenSplitter(root_ / "damaged.mpg"), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  NoClock();
  const LONG code = RunToEnd();
  EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT) << code;
  EXPECT_GT(video->samples(), stream_->frames / 3);
  EXPECT_EQ(video->endOfStreams(), 1);
  EXPECT_EQ(audio->endOfStreams(), 1);
}

TEST_F(MpegGraph, ReadErrorAbortsTheGraphBeforeTheStreamsEnd) {
  auto* reader = new FailingReader(ksv::testing::ReadFile(stream_->file));
  ComPtr<IBaseFilter> source = ComPtr<IBaseFilter>::Adopt(reader);
  reader->AddRef();
  ASSERT_EQ(graph_->AddFilter(source.Get(), u"reader"), S_OK);
  splitter_ = Add(CLSID_MPEG1Splitter, u"splitter");
  ASSERT_EQ(graph_->ConnectDirect(&reader->pin(), Pin(splitter_, u"Input").Get(), nullptr), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8007001Eu);
  reader->pin().FailFrom(static_cast<LONGLONG>(ksv::testing::ReadFile(stream_->file).size() / 2),
                         kReadFault);
  NoClock();
  ASSERT_TRUE(SUCCEEDED(control_->Run()));

  // The error reaches the application before any completion.
  std::vector<LONG> codes;
  LONG_PTR abortResult = 0;
  for (int i = 0; i < 10 && (codes.empty() || codes.back() != EC_ERRORABORT); ++i) {
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (events_->GetEvent(&code, &param1, &param2, 20000) != S_OK) break;
    codes.push_back(code);
    if (code == EC_ERRORABORT) abortResult = param1;
    events_->FreeEventParams(code, param1, param2);
  }
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), EC_ERRORABORT);
  EXPECT_EQ(static_cast<HRESULT>(abortResult), kReadFault);
  // ... and the streams still end, after what was read before the fault.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((video->endOfStreams() == 0 || audio->endOfStreams() == 0) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(video->endOfStreams(), 1);
  EXPECT_EQ(audio->endOfStreams(), 1);
  EXPECT_GT(video->samples(), 0);
  EXPECT_LT(video->samples(), stream_->frames);
  control_->Stop();
}

}  // namespace
