// WAV Dest between a test push source and a recording file sink: PCM,
// IMA ADPCM and mu-law in, WAV files out that our reader and ffprobe read,
// finished at the end of the stream or, stopped first, through the sink's
// IStream.
#include "outside/wavdest/wav_dest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/media/avi/wav_file.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "testing/temp_files.h"

namespace ksv::media::wavdest {
namespace {

using namespace ksv::media::testing;

using MemorySource = avi::MemoryByteSource;

class Rig {
 public:
  Rig() {
    HRESULT result = S_OK;
    dest_ = Counted(new WavDest(nullptr, &result));
    source_ = Counted(new PushSource());
    sink_ = Counted(new RecordingSink());
  }
  ~Rig() {
    Stop();
    DisconnectAll(source_);
    DisconnectAll(sink_);
    source_->Release();
    dest_->Release();
    sink_->Release();
  }
  HRESULT Connect(const CMediaType& type, std::vector<TestSample> samples, AfterLast after) {
    pin_ = source_->AddStream(type, std::move(samples), after);
    HRESULT result = pin_->Connect(dest_->GetPin(0), nullptr);
    if (SUCCEEDED(result)) result = dest_->GetPin(1)->Connect(sink_->pin(), nullptr);
    return result;
  }
  HRESULT Run() {
    HRESULT result = sink_->Run(0);
    if (SUCCEEDED(result)) result = dest_->Run(0);
    if (SUCCEEDED(result)) result = source_->Run(0);
    return result;
  }
  void Stop() {
    sink_->Stop();
    dest_->Stop();
    source_->Stop();
  }
  RecordingSink* sink() { return sink_; }
  PushPin* pin() { return pin_; }
  WavDest* dest() { return dest_; }

 private:
  WavDest* dest_;
  PushSource* source_;
  RecordingSink* sink_;
  PushPin* pin_ = nullptr;
};

std::vector<uint8_t> Sound(size_t bytes) {
  std::vector<uint8_t> sound(bytes);
  for (size_t i = 0; i < bytes; ++i) sound[i] = uint8_t(i * 13 + i / 97);
  return sound;
}

struct Format {
  const char* name;
  WORD tag;
  WORD channels;
  DWORD rate;
  DWORD bytesPerSecond;
  WORD blockAlign;
  WORD bits;
  std::vector<uint8_t> extra;
  const char* codec;  // as ffprobe names it
};

class WavDestWriting : public ::testing::TestWithParam<Format> {};

// Two seconds of sound, written to the end of the stream or stopped first.
TEST_P(WavDestWriting, WritesAHeaderWithTheSizesAndTheSoundAfterIt) {
  const Format& f = GetParam();
  for (const bool stopFirst : {false, true}) {
    SCOPED_TRACE(stopFirst ? "stopped without end of stream" : "to the end of the stream");
    Rig rig;
    const auto sound = Sound(size_t(f.bytesPerSecond) * 2);
    const CMediaType type =
        AudioType(f.tag, f.channels, f.rate, f.bytesPerSecond, f.blockAlign, f.bits, f.extra);
    const auto samples = SoundSamples(sound, size_t(f.blockAlign) * 40, f.bytesPerSecond);
    ASSERT_EQ(rig.Connect(type, samples, stopFirst ? AfterLast::kHold : AfterLast::kEndOfStream),
              S_OK);
    ASSERT_EQ(rig.Run(), S_OK);
    if (stopFirst) {
      for (int wait = 0; wait < 2000 && rig.pin()->sent() < samples.size(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else {
      ASSERT_TRUE(rig.sink()->WaitForEnd());
    }
    rig.Stop();
    EXPECT_EQ(rig.sink()->committed(), stopFirst);
    EXPECT_FALSE(rig.sink()->badSample());

    const std::vector<uint8_t> bytes = rig.sink()->bytes();
    MemorySource source(bytes);
    const avi::WavFile wav = avi::ReadWav(source);
    EXPECT_EQ(wav.dataSize, sound.size());
    EXPECT_FALSE(wav.truncated);
    ASSERT_LE(wav.dataOffset + wav.dataSize, bytes.size());
    EXPECT_TRUE(std::equal(sound.begin(), sound.end(), bytes.begin() + long(wav.dataOffset)));
    ASSERT_GE(wav.format.size(), 16u);
    EXPECT_EQ(wav.format[0] | wav.format[1] << 8, f.tag);
    if (f.tag != WAVE_FORMAT_PCM) {
      EXPECT_EQ(wav.factSamples, CountSamples(wav.format, sound.size()));
      EXPECT_GT(wav.factSamples, 0u);
    }

    if (!HaveFfmpeg()) continue;
    ksv::testing::TempFolder folder;
    const std::string path = (folder / "out.wav").string();
    ksv::testing::WriteFile(path, bytes);
    EXPECT_EQ(Probe(path, "a:0", "stream=codec_name,sample_rate,channels"),
              std::string(f.codec) + "\n" + std::to_string(f.rate) + "\n" +
                  std::to_string(f.channels));
    const double duration = std::stod(Probe(path, "a:0", "stream=duration"));
    EXPECT_NEAR(duration, 2.0, 0.05);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavDestWriting,
    ::testing::Values(Format{"Pcm", 1, 2, 22050, 88200, 4, 16, {}, "pcm_s16le"},
                      Format{"ImaAdpcm", 0x11, 1, 22050, 11100, 256, 4, {0xF9, 0x01},
                             "adpcm_ima_wav"},
                      Format{"MuLaw", 7, 1, 8000, 8000, 1, 8, {}, "pcm_mulaw"}),
    [](const ::testing::TestParamInfo<Format>& param) { return std::string(param.param.name); });

TEST(WavDest, CountsSamplesByBlockForImaAdpcmElseByDuration) {
  std::vector<uint8_t> ima = {0x11, 0, 1, 0, 0x22, 0x56, 0, 0, 0x5C, 0x2B, 0, 0,
                              0, 1, 4, 0, 2, 0, 0xF9, 0x01};
  EXPECT_EQ(CountSamples(ima, 256 * 10), 505u * 10);
  EXPECT_EQ(CountSamples(ima, 256 * 10 + 100), 505u * 10);  // a partial block is not counted
  std::vector<uint8_t> mulaw = {7, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0};
  EXPECT_EQ(CountSamples(mulaw, 16000), 16000u);
  EXPECT_EQ(CountSamples({1, 0}, 100), 0u);  // no whole format
}

TEST(WavDest, RefusesFormatBlocksTooShortAndAnythingButStreamsOut) {
  Rig rig;
  CMediaType adpcm = AudioType(0x11, 1, 22050, 11100, 256, 4, {0xF9, 0x01});
  EXPECT_EQ(rig.dest()->GetPin(0)->QueryAccept(&adpcm), S_OK);
  CMediaType cut = adpcm;
  cut.SetFormat(adpcm.Format(), 19);
  EXPECT_EQ(rig.dest()->GetPin(0)->QueryAccept(&cut), S_FALSE);
  CMediaType silent = AudioType(1, 0, 22050, 0, 0, 16);
  EXPECT_EQ(rig.dest()->GetPin(0)->QueryAccept(&silent), S_FALSE);
  CMediaType video(&MEDIATYPE_Video);
  EXPECT_EQ(rig.dest()->GetPin(0)->QueryAccept(&video), S_FALSE);
  EXPECT_EQ(rig.dest()->GetPin(1)->QueryAccept(&adpcm), S_FALSE);
  CMediaType wave(&MEDIATYPE_Stream);
  wave.SetSubtype(&MEDIASUBTYPE_WAVE);
  EXPECT_EQ(rig.dest()->GetPin(1)->QueryAccept(&wave), S_OK);
}

}  // namespace
}  // namespace ksv::media::wavdest
