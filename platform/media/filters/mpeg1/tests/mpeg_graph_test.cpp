// The MPEG-1 filters in a graph: File Source -> MPEG-I Stream Splitter ->
// MPEG Video / Audio Decoder -> capture sinks, on system streams that
// ffmpeg makes (the tests skip without it) and with ffmpeg and ffprobe as
// the oracles of what the stream holds.
#include <random>

#include "platform/media/filters/mpeg1/tests/mpeg_graph_fixture.h"

namespace ksv::media::mpeg1::testing {
namespace {

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
  EXPECT_NEAR(ToneFrequency(pcm), 440.0, 1.0);
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

TEST_F(MpegGraph, ConnectingTheFileSourceToASinkInsertsSplitterAndDecoder) {
  source_ = Add(CLSID_AsyncReader, u"source");
  ComPtr<IFileSourceFilter> load;
  ASSERT_EQ(source_.As(&load), S_OK);
  ASSERT_EQ(load->Load(ksv::com::Utf8ToUtf16(stream_->file.string()).c_str(), nullptr), S_OK);
  CaptureSink* video = AddSink(MEDIATYPE_Video, {MEDIASUBTYPE_RGB24}, false);
  ASSERT_EQ(graph_->Connect(Pin(source_, u"Output").Get(), video->Input()), S_OK);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_EQ(video->samples(), stream_->frames);
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

TEST_F(MpegGraph, StopWhilePausedIsPrompt) {
  // Paused, each renderer holds its first sample and the splitter's one
  // streaming thread waits in a delivery; Stop must free it.
  ASSERT_EQ(OpenSplitter(stream_->file), S_OK);
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, false);
  ASSERT_TRUE(SUCCEEDED(control_->Pause()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(control_->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_EQ(video->samples(), 0);  // held, not rendered
  EXPECT_EQ(audio->samples(), 0);
  EXPECT_EQ(video->endOfStreams() + audio->endOfStreams(), 0);
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
  HRESULT connected = E_FAIL;
  MemoryReader* reader = OpenReader(ksv::testing::ReadFile(stream_->file),
                                    MEDIASUBTYPE_MPEG1System, &connected);
  ASSERT_EQ(connected, S_OK);
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
}  // namespace ksv::media::mpeg1::testing
