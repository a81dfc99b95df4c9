// The AVI Mux between test push sources and a recording file sink: its
// pins, its settings, and the files it writes (read back with our reader
// and, where installed, checked with ffprobe and decoded with ffmpeg).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/wav_file.h"
#include "platform/media/filters/avi_mux/avi_mux.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "testing/allocation_counter.h"
#include "testing/temp_files.h"

namespace ksv::media::avimux {
namespace {

using namespace ksv::media::testing;

constexpr DWORD kMjpg = 0x47504A4D;
constexpr REFERENCE_TIME kFrame = UNITS / 30;

using MemorySource = avi::MemoryByteSource;

std::vector<uint8_t> ChunkBytes(const std::vector<uint8_t>& file, const avi::IndexEntry& entry) {
  return {file.begin() + long(entry.offset), file.begin() + long(entry.offset + entry.size)};
}

// Source -> mux -> recording sink, connected pin to pin, no graph.
class Rig {
 public:
  Rig() {
    HRESULT result = S_OK;
    mux_ = Counted(new AviMux(nullptr, &result));
    source_ = Counted(new PushSource());
    sink_ = Counted(new RecordingSink());
  }
  ~Rig() {
    Stop();
    DisconnectAll(source_);
    DisconnectAll(sink_);
    source_->Release();
    mux_->Release();
    sink_->Release();
  }
  PushPin* Add(const CMediaType& type, std::vector<TestSample> samples,
               AfterLast after = AfterLast::kEndOfStream) {
    PushPin* pin = source_->AddStream(type, std::move(samples), after);
    pins_.push_back(pin);
    return pin;
  }
  // Each source pin to the next free mux input, the mux to the sink.
  HRESULT Connect() {
    for (size_t i = 0; i < pins_.size(); ++i) {
      const HRESULT connected = pins_[i]->Connect(mux_->GetPin(int(i) + 1), nullptr);
      if (FAILED(connected)) return connected;
    }
    return mux_->GetPin(0)->Connect(sink_->pin(), nullptr);
  }
  // Downstream first, as the graph does.
  HRESULT Run() {
    HRESULT result = sink_->Run(0);
    if (SUCCEEDED(result)) result = mux_->Run(0);
    if (SUCCEEDED(result)) result = source_->Run(0);
    return result;
  }
  void Stop() {
    sink_->Stop();
    mux_->Stop();
    source_->Stop();
  }
  AviMux* mux() { return mux_; }
  RecordingSink* sink() { return sink_; }

 private:
  AviMux* mux_;
  PushSource* source_;
  RecordingSink* sink_;
  std::vector<PushPin*> pins_;
};

struct Written {
  std::vector<uint8_t> bytes;
  avi::File file;
};

Written Read(RecordingSink* sink) {
  Written written;
  written.bytes = sink->bytes();
  MemorySource source(written.bytes);
  written.file = avi::ReadAvi(source);
  return written;
}

bool Contains(const std::vector<uint8_t>& bytes, const char* code) {
  return std::search(bytes.begin(), bytes.end(), code, code + 4) != bytes.end();
}

std::vector<uint8_t> Pcm(size_t bytes) {
  std::vector<uint8_t> sound(bytes);
  for (size_t i = 0; i < bytes; ++i) sound[i] = uint8_t(i * 7 + i / 300);
  return sound;
}

std::string SaveFile(const ksv::testing::TempFolder& folder, const std::vector<uint8_t>& bytes,
                     const char* name) {
  const std::string path = (folder / name).string();
  ksv::testing::WriteFile(path, bytes);
  return path;
}

void ExpectDecodes(const std::string& path) {
  int status = 0;
  const std::string errors = RunCommand("ffmpeg -v error -i '" + path + "' -f null - 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(errors, "");
}

// Pins and settings.

TEST(AviMuxPins, ANewInputAppearsWhenTheLastConnectsAndHostileTypesAreRefused) {
  Rig rig;
  AviMux* mux = rig.mux();
  ASSERT_EQ(mux->GetPinCount(), 2);
  PIN_INFO info{};
  mux->GetPin(0)->QueryPinInfo(&info);
  info.pFilter->Release();
  EXPECT_EQ(std::u16string(info.achName), u"AVI Out");
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  EXPECT_EQ(std::u16string(mux->GetPin(1)->Name()), u"Input 01");

  const CMediaType fullVideo = VideoType(kMjpg, 64, 48, 24, kFrame);
  CMediaType shortVideo = fullVideo;
  shortVideo.SetFormat(fullVideo.Format(), 60);
  EXPECT_EQ(mux->GetPin(1)->QueryAccept(&shortVideo), S_FALSE);
  CMediaType wrongExtra = AudioType(0x11, 1, 22050, 11100, 256, 4, {0xF9, 0x01});
  reinterpret_cast<WAVEFORMATEX*>(wrongExtra.Format())->cbSize = 40;
  EXPECT_EQ(mux->GetPin(1)->QueryAccept(&wrongExtra), S_FALSE);
  CMediaType stream(&MEDIATYPE_Stream);
  EXPECT_EQ(mux->GetPin(0)->QueryAccept(&stream), S_OK);
  CMediaType video = VideoType(kMjpg, 64, 48, 24, kFrame);
  EXPECT_EQ(mux->GetPin(0)->QueryAccept(&video), S_FALSE);

  const LONG version = mux->GetPinVersion();
  rig.Add(video, {});
  rig.Add(AudioType(1, 1, 8000, 16000, 2, 16), {});
  ASSERT_EQ(rig.Connect(), S_OK);
  EXPECT_EQ(mux->GetPinCount(), 4);
  EXPECT_GT(mux->GetPinVersion(), version);
  EXPECT_EQ(std::u16string(mux->GetPin(2)->Name()), u"Input 02");
  EXPECT_EQ(std::u16string(mux->GetPin(3)->Name()), u"Input 03");
  EXPECT_FALSE(mux->GetPin(3)->IsConnected());
  // Disconnecting one leaves the pins in place: a caller may hold them.
  IPin* second = mux->GetPin(2);
  IPin* upstream = nullptr;
  second->ConnectedTo(&upstream);
  upstream->Disconnect();
  second->Disconnect();
  upstream->Release();
  EXPECT_EQ(mux->GetPinCount(), 4);
}

TEST(AviMuxPins, SettingsHaveTheDocumentedDefaultsAndRefuseNonsense) {
  Rig rig;
  ksv::com::ComPtr<IConfigAviMux> config;
  ksv::com::ComPtr<IConfigInterleaving> interleaving;
  ASSERT_EQ(rig.mux()->QueryInterface(IID_PPV_ARGS(config.ReleaseAndGetAddressOf())), S_OK);
  ASSERT_EQ(rig.mux()->QueryInterface(IID_PPV_ARGS(interleaving.ReleaseAndGetAddressOf())), S_OK);
  BOOL legacy = TRUE;
  LONG master = 0;
  InterleavingMode mode = INTERLEAVE_NONE;
  REFERENCE_TIME period = 0, preroll = 1;
  EXPECT_EQ(config->GetOutputCompatibilityIndex(&legacy), S_OK);
  EXPECT_FALSE(legacy);
  EXPECT_EQ(config->GetMasterStream(&master), S_OK);
  EXPECT_EQ(master, -1);
  EXPECT_EQ(interleaving->get_Mode(&mode), S_OK);
  EXPECT_EQ(mode, INTERLEAVE_CAPTURE);
  EXPECT_EQ(interleaving->get_Interleaving(&period, &preroll), S_OK);
  EXPECT_EQ(period, UNITS);
  EXPECT_EQ(preroll, 0);

  EXPECT_EQ(interleaving->put_Mode(static_cast<InterleavingMode>(4)), E_INVALIDARG);
  EXPECT_EQ(interleaving->put_Mode(INTERLEAVE_FULL), S_OK);
  interleaving->get_Mode(&mode);
  EXPECT_EQ(mode, INTERLEAVE_FULL);
  const REFERENCE_TIME zero = 0;
  EXPECT_EQ(interleaving->put_Interleaving(&zero, &zero), E_INVALIDARG);
  EXPECT_EQ(config->GetOutputCompatibilityIndex(nullptr), E_POINTER);
  EXPECT_EQ(config->SetOutputCompatibilityIndex(TRUE), S_OK);
  config->GetOutputCompatibilityIndex(&legacy);
  EXPECT_TRUE(legacy);
}

// Files written to the end of the stream.

struct Case {
  const char* name;
  bool legacyIndex;
  InterleavingMode mode;
  int audio;  // 0 none, 1 PCM, 2 IMA ADPCM
};

class AviMuxWriting : public ::testing::TestWithParam<Case> {};

// IMA ADPCM blocks from ffmpeg (real ones, so that decoding them succeeds).
bool MakeAdpcm(const ksv::testing::TempFolder& folder, std::vector<uint8_t>* format,
               std::vector<uint8_t>* sound) {
  const std::string path = (folder / "adpcm.wav").string();
  int status = 0;
  RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 "
             "-c:a adpcm_ima_wav '" + path + "' 2>&1", &status);
  if (status != 0) return false;
  avi::FileByteSource source(path);
  const avi::WavFile wav = avi::ReadWav(source);
  *format = wav.format;
  sound->resize(wav.dataSize);
  return source.ReadAt(wav.dataOffset, sound->data(), sound->size());
}

TEST_P(AviMuxWriting, WritesStreamsThatReadBackAndDecode) {
  const Case& c = GetParam();
  ksv::testing::TempFolder folder;
  if (c.audio == 2 && !HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg to make IMA ADPCM";
  Rig rig;
  ksv::com::ComPtr<IConfigAviMux> config;
  ksv::com::ComPtr<IConfigInterleaving> interleaving;
  rig.mux()->QueryInterface(IID_PPV_ARGS(config.ReleaseAndGetAddressOf()));
  rig.mux()->QueryInterface(IID_PPV_ARGS(interleaving.ReleaseAndGetAddressOf()));
  config->SetOutputCompatibilityIndex(c.legacyIndex ? TRUE : FALSE);
  interleaving->put_Mode(c.mode);

  const int frames = 45;
  const auto pictures = JpegFrames(frames, 160, 120);
  rig.Add(VideoType(kMjpg, 160, 120, 24, kFrame), Frames(pictures, kFrame));
  std::vector<uint8_t> sound, waveFormat;
  uint32_t sampleRate = 0;
  if (c.audio == 1) {
    sound = Pcm(44100 * 4 * 3 / 2);  // 1.5 s of 16-bit stereo
    sampleRate = 44100;
    rig.Add(AudioType(1, 2, 44100, 176400, 4, 16), SoundSamples(sound, 17640, 176400));
  } else if (c.audio == 2) {
    ASSERT_TRUE(MakeAdpcm(folder, &waveFormat, &sound));
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(waveFormat.data());
    sampleRate = wave->nSamplesPerSec;
    std::vector<uint8_t> extra(waveFormat.begin() + 18, waveFormat.end());
    rig.Add(AudioType(wave->wFormatTag, wave->nChannels, wave->nSamplesPerSec,
                      wave->nAvgBytesPerSec, wave->nBlockAlign, wave->wBitsPerSample, extra),
            SoundSamples(sound, size_t(wave->nBlockAlign) * 8, wave->nAvgBytesPerSec));
  }
  ASSERT_EQ(rig.Connect(), S_OK);
  ASSERT_EQ(rig.Run(), S_OK);
  ASSERT_TRUE(rig.sink()->WaitForEnd());
  EXPECT_FALSE(rig.sink()->badSample());
  EXPECT_EQ(rig.sink()->streamWrites(), 0);  // all of it as positioned samples
  rig.Stop();
  EXPECT_FALSE(rig.sink()->committed());

  const Written written = Read(rig.sink());
  ASSERT_EQ(written.file.streams.size(), c.audio != 0 ? 2u : 1u);
  const avi::Stream& video = written.file.streams[0];
  ASSERT_EQ(video.index.size(), size_t(frames));
  for (int i = 0; i < frames; ++i) {
    EXPECT_EQ(ChunkBytes(written.bytes, video.index[i]), pictures[i]) << "frame " << i;
    EXPECT_TRUE(video.index[i].keyFrame);
  }
  EXPECT_EQ(video.header.length, uint32_t(frames));
  EXPECT_EQ(Contains(written.bytes, "idx1"), c.legacyIndex);
  if (c.audio != 0) {
    std::vector<uint8_t> audio;
    for (const avi::IndexEntry& entry : written.file.streams[1].index) {
      const auto bytes = ChunkBytes(written.bytes, entry);
      audio.insert(audio.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(audio, sound);
  }
  if (c.mode == INTERLEAVE_FULL && c.audio != 0) {
    // In the file, chunks come in time order across the streams.
    struct Placed {
      uint64_t offset;
      int64_t time;
    };
    std::vector<Placed> placed;
    for (const avi::Stream& stream : written.file.streams) {
      const auto first = avi::FirstSamples(stream);
      for (size_t i = 0; i < stream.index.size(); ++i) {
        placed.push_back({stream.index[i].offset, avi::SampleTime(stream.header, first[i])});
      }
    }
    std::sort(placed.begin(), placed.end(),
              [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
    for (size_t i = 1; i < placed.size(); ++i) {
      EXPECT_LE(placed[i - 1].time, placed[i].time) << "chunk " << i;
    }
  }

  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffprobe";
  const std::string path = SaveFile(folder, written.bytes, "out.avi");
  EXPECT_EQ(Probe(path, "v:0", "stream=codec_name,width,height"), "mjpeg\n160\n120");
  EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), std::to_string(frames));
  EXPECT_EQ(Probe(path, "v:0", "stream=r_frame_rate"), "30/1");
  if (c.audio == 1) {
    EXPECT_EQ(Probe(path, "a:0", "stream=codec_name,sample_rate,channels"), "pcm_s16le\n44100\n2");
  } else if (c.audio == 2) {
    EXPECT_EQ(Probe(path, "a:0", "stream=codec_name,sample_rate,channels"),
              "adpcm_ima_wav\n" + std::to_string(sampleRate) + "\n1");
  }
  ExpectDecodes(path);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AviMuxWriting,
    ::testing::Values(Case{"VideoOnlyLegacyIndex", true, INTERLEAVE_CAPTURE, 0},
                      Case{"VideoOnlyNewIndexOnly", false, INTERLEAVE_NONE, 0},
                      Case{"VideoPcmNone", false, INTERLEAVE_NONE, 1},
                      Case{"VideoPcmFull", true, INTERLEAVE_FULL, 1},
                      Case{"VideoAdpcmCapture", true, INTERLEAVE_CAPTURE, 2},
                      Case{"VideoAdpcmFull", false, INTERLEAVE_FULL, 2}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(AviMuxWritingDetail, LateFramesLeaveEmptyChunksForTheDroppedOnesAndRawPicturesKeepTheirBytes) {
  Rig rig;
  const int width = 32, height = 16;
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < 6; ++i) pictures.emplace_back(size_t(width * height * 3), uint8_t(i * 40));
  auto samples = Frames(pictures, kFrame);
  // Frames 2 and 3 never came: the one sent third is stamped at slot 4.
  for (size_t i = 2; i < samples.size(); ++i) {
    samples[i].start += 2 * kFrame;
    samples[i].stop += 2 * kFrame;
  }
  samples[3].timed = false;  // no time: it simply follows
  rig.Add(VideoType(0, width, height, 24, kFrame), samples);
  ASSERT_EQ(rig.Connect(), S_OK);
  ASSERT_EQ(rig.Run(), S_OK);
  ASSERT_TRUE(rig.sink()->WaitForEnd());
  rig.Stop();
  const Written written = Read(rig.sink());
  ASSERT_EQ(written.file.streams.size(), 1u);
  const avi::Stream& video = written.file.streams[0];
  ASSERT_EQ(video.index.size(), 8u);
  EXPECT_EQ(video.index[2].size, 0u);
  EXPECT_EQ(video.index[3].size, 0u);
  EXPECT_EQ(ChunkBytes(written.bytes, video.index[4]), pictures[2]);
  EXPECT_EQ(ChunkBytes(written.bytes, video.index[7]), pictures[5]);
  EXPECT_EQ(video.header.length, 8u);
}

TEST(AviMuxWritingDetail, FramesLargerThanADeliveryBufferAreSplitOverPositionedSamples) {
  Rig rig;
  const int width = 640, height = 480;  // 32-bit: 1,228,800 bytes, past one 1 MiB buffer
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> picture(size_t(width) * height * 4);
    for (size_t at = 0; at < picture.size(); ++at) picture[at] = uint8_t(at / 4096 + i * 31);
    pictures.push_back(std::move(picture));
  }
  rig.Add(VideoType(0, width, height, 32, kFrame), Frames(pictures, kFrame));
  ASSERT_EQ(rig.Connect(), S_OK);
  ASSERT_EQ(rig.Run(), S_OK);
  ASSERT_TRUE(rig.sink()->WaitForEnd());
  rig.Stop();
  EXPECT_FALSE(rig.sink()->badSample());
  EXPECT_GE(rig.sink()->samples(), 4);
  const Written written = Read(rig.sink());
  ASSERT_EQ(written.file.streams.size(), 1u);
  ASSERT_EQ(written.file.streams[0].index.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ChunkBytes(written.bytes, written.file.streams[0].index[i]), pictures[i]);
  }
}

// Chunks written as they arrive allocate nothing per sample: ten times the
// samples cost no more than what grows geometrically (index tables, the
// recording sink's buffer).
TEST(AviMuxWritingDetail, WritingInArrivalOrderAllocatesNothingPerSample) {
  const auto picture = JpegFrames(1, 64, 48)[0];
  const auto sound = Pcm(1600);
  auto allocations = [&](int count) {
    Rig rig;
    std::vector<std::vector<uint8_t>> pictures(size_t(count), picture);
    rig.Add(VideoType(kMjpg, 64, 48, 24, kFrame), Frames(pictures, kFrame));
    std::vector<TestSample> audio;
    for (int i = 0; i < count; ++i) {
      audio.push_back({sound, i * kFrame, (i + 1) * kFrame, true, true});
    }
    rig.Add(AudioType(1, 1, 8000, 16000, 2, 16), audio);
    EXPECT_EQ(rig.Connect(), S_OK);
    ksv::com::ComPtr<IConfigInterleaving> interleaving;
    rig.mux()->QueryInterface(IID_PPV_ARGS(interleaving.ReleaseAndGetAddressOf()));
    interleaving->put_Mode(INTERLEAVE_NONE);
    const long before = ksv::testing::AllocationCount();
    EXPECT_EQ(rig.Run(), S_OK);
    EXPECT_TRUE(rig.sink()->WaitForEnd());
    return ksv::testing::AllocationCount() - before;
  };
  allocations(20);  // whatever is made once per process
  const long few = allocations(200);
  const long many = allocations(2000);
  EXPECT_LT(many - few, 100) << few << " allocations for 400 samples, " << many << " for 4,000";
}

// Stopping before the end of the stream, as a capture ends.

TEST(AviMuxStop, StoppingWithoutEndOfStreamFinishesTheFileThroughTheSinkStream) {
  Rig rig;
  const int frames = 20;
  const auto pictures = JpegFrames(frames, 64, 48);
  PushPin* video =
      rig.Add(VideoType(kMjpg, 64, 48, 24, kFrame), Frames(pictures, kFrame), AfterLast::kHold);
  const auto sound = Pcm(8000 * 2);
  PushPin* audio = rig.Add(AudioType(1, 1, 8000, 16000, 2, 16), SoundSamples(sound, 1600, 16000),
                           AfterLast::kHold);
  ASSERT_EQ(rig.Connect(), S_OK);
  ASSERT_EQ(rig.Run(), S_OK);
  for (int wait = 0; wait < 2000 && (video->sent() < size_t(frames) || audio->sent() < 10); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  rig.Stop();
  EXPECT_TRUE(rig.sink()->committed());
  EXPECT_GT(rig.sink()->streamWrites(), 0);
  const Written written = Read(rig.sink());
  ASSERT_EQ(written.file.streams.size(), 2u);
  ASSERT_EQ(written.file.streams[0].index.size(), size_t(frames));
  EXPECT_EQ(ChunkBytes(written.bytes, written.file.streams[0].index[frames - 1]),
            pictures[frames - 1]);
  uint64_t audioBytes = 0;
  for (const avi::IndexEntry& entry : written.file.streams[1].index) audioBytes += entry.size;
  EXPECT_EQ(audioBytes, sound.size());
  EXPECT_FALSE(written.file.truncated);

  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffprobe";
  ksv::testing::TempFolder folder;
  const std::string path = SaveFile(folder, written.bytes, "capture.avi");
  EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), std::to_string(frames));
  ExpectDecodes(path);
}

}  // namespace
}  // namespace ksv::media::avimux
