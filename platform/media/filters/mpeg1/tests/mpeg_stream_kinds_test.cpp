// The other streams the splitter takes: elementary MPEG-1 video and MPEG
// audio streams (no system layer), and layer 3 audio in a system stream.
#include "platform/media/filters/mpeg1/tests/mpeg_graph_fixture.h"

namespace ksv::media::mpeg1::testing {
namespace {

std::optional<int> FfprobeFrames(const std::filesystem::path& file) {
  const auto frames = Command("ffprobe -v error -count_frames -select_streams v "
                              "-show_entries stream=nb_read_frames -of csv=p=0 '" +
                              file.string() + "'");
  if (!frames) return std::nullopt;
  return std::stoi(*frames);
}

TEST_F(MpegGraph, ElementaryVideoStreamDecodesWithTimesFromTheFrameRate) {
  const auto file = MakeFile("video.m1v",
                             "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                             "-c:v mpeg1video -f mpeg1video");
  ASSERT_TRUE(file);
  const auto frames = FfprobeFrames(*file);
  ASSERT_TRUE(frames);
  HRESULT connected = E_FAIL;
  OpenReader(ksv::testing::ReadFile(*file), MEDIASUBTYPE_MPEG1Video, &connected);
  ASSERT_EQ(connected, S_OK);
  EXPECT_FALSE(Pin(splitter_, u"Audio"));
  CaptureSink* video = Decode(u"Video", CLSID_CMpegVideoCodec, MEDIATYPE_Video,
                              {MEDIASUBTYPE_RGB24}, false);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_EQ(HEADER(video->type().Format())->biWidth, 160);
  EXPECT_EQ(video->samples(), *frames);
  // Only the first picture of such a stream has a time stamp; the others
  // follow it by the frame time.
  const auto times = video->times();
  ASSERT_EQ(static_cast<int>(times.size()), *frames);
  EXPECT_EQ(times.front().first, 0);
  for (size_t i = 1; i < times.size(); ++i) {
    EXPECT_EQ(times[i].first, times[i - 1].second) << i;
    EXPECT_EQ(times[i].second - times[i].first, 400000) << i;
  }
}

TEST_F(MpegGraph, ElementaryAudioStreamDecodesToTheTone) {
  const auto file =
      MakeFile("audio.mp2", "-f lavfi -i sine=frequency=440:duration=1 -c:a mp2 -f mp2");
  ASSERT_TRUE(file);
  HRESULT connected = E_FAIL;
  OpenReader(ksv::testing::ReadFile(*file), MEDIASUBTYPE_MPEG1Audio, &connected);
  ASSERT_EQ(connected, S_OK);
  EXPECT_FALSE(Pin(splitter_, u"Video"));
  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, true);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  const std::vector<uint8_t> pcm = audio->bytes();
  EXPECT_NEAR(static_cast<double>(pcm.size() / 2), kRate, 2 * 1152);
  EXPECT_NEAR(ToneFrequency(pcm), 440.0, 1.0);
}

TEST_F(MpegGraph, Layer3AudioIsDescribedAndDecodedAsLayer3) {
  const auto file = MakeFile("layer3.mpg",
                             "-f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame "
                             "-b:a 128k -f mpeg");
  if (!file) GTEST_SKIP() << "this ffmpeg has no MP3 encoder";
  HRESULT connected = E_FAIL;
  OpenReader(ksv::testing::ReadFile(*file), MEDIASUBTYPE_MPEG1System, &connected);
  ASSERT_EQ(connected, S_OK);
  ComPtr<IPin> pin = Pin(splitter_, u"Audio");
  ASSERT_TRUE(pin);
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types.GetAddressOf()), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  ASSERT_EQ(type->cbFormat, sizeof(MPEG1WAVEFORMAT));
  MPEG1WAVEFORMAT wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  DeleteMediaType(type);
  EXPECT_EQ(wave.wfx.wFormatTag, WAVE_FORMAT_MPEG);
  EXPECT_EQ(wave.fwHeadLayer, ACM_MPEG_LAYER3);
  EXPECT_EQ(wave.dwHeadBitrate, 128000u);

  CaptureSink* audio =
      Decode(u"Audio", CLSID_CMpegAudioCodec, MEDIATYPE_Audio, {MEDIASUBTYPE_PCM}, true);
  NoClock();
  EXPECT_EQ(RunToEnd(), EC_COMPLETE);
  EXPECT_NEAR(ToneFrequency(audio->bytes()), 440.0, 1.0);
}

}  // namespace
}  // namespace ksv::media::mpeg1::testing
