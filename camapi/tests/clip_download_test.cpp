// Clips downloaded in both paths to AVI files that ffprobe and ffmpeg read
// back: picture size, frame rate and count, the frames against the scenes
// they were made from, and in the stream path the sound against the tone
// that was recorded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <optional>

#include "camapi/camera_context.h"
#include "camapi/tests/camapi_test_support.h"
#include "common/folders.h"
#include "platform/memory/global_memory.h"
#include "platform/profile/profile.h"
#include "simcam/framing.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"

namespace ksv::camapi::testing {
namespace {

namespace fs = std::filesystem;
using outside::bulk::CameraMemory;

// Standard output of a shell command; nothing when it fails.
std::optional<std::string> Run(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

bool HaveFfmpeg() { return Run("ffmpeg -version") && Run("ffprobe -version"); }

std::string Probe(const fs::path& file, const char* stream, const char* entries) {
  const auto out = Run(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
                       " -show_entries stream=" + entries + " -of csv=p=0 '" + file.string() + "'");
  if (!out) return "unreadable";
  std::string text = *out;
  while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
  return text;
}

std::vector<uint8_t> Decoded(const fs::path& file, const char* what) {
  const auto out = Run(std::string("ffmpeg -v error -i '") + file.string() + "' " + what + " -");
  return out ? std::vector<uint8_t>(out->begin(), out->end()) : std::vector<uint8_t>{};
}

// The recorded tone at any time: two partials well inside 4 kHz.
double Tone(double t) {
  return 7000 * std::sin(2 * std::numbers::pi * 440 * t) +
         4000 * std::sin(2 * std::numbers::pi * 1250 * t + 0.7);
}

simcam::MonoAudio ToneAt(uint32_t rate, double seconds) {
  simcam::MonoAudio audio{rate, std::vector<int16_t>(static_cast<size_t>(rate * seconds))};
  for (size_t i = 0; i < audio.samples.size(); ++i) {
    audio.samples[i] = static_cast<int16_t>(std::lround(Tone(double(i) / rate)));
  }
  return audio;
}

// Signal-to-noise ratio of 22,050 Hz `sound` against the tone delayed by
// the best delay, found to a twentieth of a sample; the first and last
// tenth of a second are left out.
double ToneSnr(const std::vector<int16_t>& sound) {
  constexpr double kRate = 22050;
  const size_t from = 2205, to = sound.size() > 2205 ? sound.size() - 2205 : 0;
  auto snr = [&](double delay) {
    double signal = 0, noise = 0;
    for (size_t n = from; n < to; ++n) {
      const double want = Tone(n / kRate - delay);
      signal += want * want;
      noise += (sound[n] - want) * (sound[n] - want);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
  };
  double best = 0, bestSnr = -100;
  for (int lag = -400; lag <= 400; ++lag) {
    if (const double s = snr(lag / kRate); s > bestSnr) bestSnr = s, best = lag / kRate;
  }
  const double coarse = best;
  for (int step = -20; step <= 20; ++step) {
    if (const double s = snr(coarse + step / (20 * kRate)); s > bestSnr) bestSnr = s;
  }
  return bestSnr;
}

// The test photographs in turn; for the small clips without the
// astronaut, whose fine detail at 160 pixels wide is more than Cinepak
// keeps at 28 dB.
std::vector<picture::RgbPicture> Scenes(size_t count, bool small = false) {
  const char* names[] = {"chelsea", "coffee", "hubble_deep_field", "astronaut"};
  const size_t kinds = small ? 3 : std::size(names);
  std::vector<picture::RgbPicture> scenes;
  for (size_t i = 0; i < count; ++i) scenes.push_back(Photo(names[i % kinds]));
  return scenes;
}

// Rows [top, top + height) of `picture`.
picture::RgbPicture Rows(const picture::RgbPicture& picture, uint32_t top, uint32_t height) {
  picture::RgbPicture cut{picture.width, height, {}};
  const size_t row = size_t{picture.width} * 3;
  cut.pixels.assign(picture.pixels.begin() + static_cast<std::ptrdiff_t>(top * row),
                    picture.pixels.begin() + static_cast<std::ptrdiff_t>((top + height) * row));
  return cut;
}

// A 320 x 240 clip of 10 chunks with the tone as ADPCM at 8,000 Hz, and a
// 160 x 128 clip of 6 chunks with it as 8-bit PCM at 12,000 Hz.
constexpr size_t kBigChunks = 10;
constexpr size_t kSmallChunks = 6;
constexpr uint32_t kSyncFrames = 2;  // the drivers' default, for clips of 10 chunks or more

CameraMemory ClipMemory() {
  using namespace simcam;
  CameraMemory memory = EmptyMemory();
  memory.items.push_back(MakeClipItem(Scenes(kBigChunks), *memory.FindMode(kClipMode),
                                      outside::bulk::kClipSubtype, ClipSound::kAdpcm8000,
                                      ToneAt(8000, 1.0)));
  memory.items.push_back(MakeClipItem(Scenes(kSmallChunks, true), *memory.FindMode(kLowResClipMode),
                                      outside::bulk::kLowResClipSubtype, ClipSound::kPcm12000,
                                      ToneAt(12000, 0.6)));
  return memory;
}

// Each decoded frame against the scene it was made from, `first` the
// scene of frame 0, `top` the first picture row of the stored frame kept.
void ExpectFrames(const fs::path& file, uint32_t width, uint32_t height, uint32_t storedHeight,
                  uint32_t top, size_t first, size_t frames) {
  const std::vector<uint8_t> rgb = Decoded(file, "-map 0:v -f rawvideo -pix_fmt rgb24");
  const size_t frameBytes = size_t{width} * height * 3;
  ASSERT_EQ(rgb.size(), frameBytes * frames) << file;
  const auto scenes = Scenes(first + frames, width == 160);
  std::vector<uint8_t> wanted;
  for (size_t i = 0; i < frames; ++i) {
    const auto want = Rows(simcam::FitToSize(scenes[first + i], width, storedHeight), top, height);
    const std::vector<uint8_t> got(rgb.begin() + static_cast<std::ptrdiff_t>(i * frameBytes),
                                   rgb.begin() + static_cast<std::ptrdiff_t>((i + 1) * frameBytes));
    // A frame of another scene, or rows out of place, is far below this.
    EXPECT_GE(Psnr(got, want.pixels), 25.0) << file << " frame " << i;
    wanted.insert(wanted.end(), want.pixels.begin(), want.pixels.end());
  }
  EXPECT_GE(Psnr(rgb, wanted), 28.0) << file << ": all frames";
}

class ClipDownload : public CamapiTest {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    UseMemory(ClipMemory());
    // Clips of every kind counted together, as applications name them.
    recorder_.pathFor = [this](size_t begin, const std::string&) {
      return (outFolder_ / ("Clip" + std::to_string(begin) + ".AVI")).string();
    };
  }
};

TEST_F(ClipDownload, TheStreamMakesAviFilesWithSound) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(KXCAMAPI_GetAllImgs(context, RecordProgress), 0);
  for (const ItemEvent& end : recorder_.Ends()) EXPECT_EQ(end.status, 0u) << end.path;
  const fs::path big = outFolder_ / "Clip0.AVI", small = outFolder_ / "Clip1.AVI";
  EXPECT_EQ(Probe(big, "v:0", "codec_name,width,height,r_frame_rate,nb_read_frames"),
            "mjpeg,320,240,10/1," + std::to_string(kBigChunks - kSyncFrames));
  EXPECT_EQ(Probe(small, "v:0", "width,height,r_frame_rate,nb_read_frames"),
            "160,120,10/1," + std::to_string(kSmallChunks));
  for (const auto& file : {big, small}) {
    EXPECT_EQ(Probe(file, "a:0", "codec_name,sample_rate,channels"), "pcm_s16le,22050,1") << file;
  }
  // The sync frames are left out of the video; a 160 x 128 clip's samples
  // carry the bottom 120 rows.
  ExpectFrames(big, 320, 240, 240, 0, kSyncFrames, kBigChunks - kSyncFrames);
  ExpectFrames(small, 160, 120, 128, 8, 0, kSmallChunks);

  const std::vector<uint8_t> bytes = Decoded(big, "-map 0:a -f s16le");
  std::vector<int16_t> sound(bytes.size() / 2);
  std::memcpy(sound.data(), bytes.data(), sound.size() * 2);
  // The AVI fix keeps the sound under the video: 0.8 s.
  EXPECT_GE(sound.size(), 22050u * 8 / 10) << "the sound of the clip's frames";
  EXPECT_GE(ToneSnr(sound), 15.0);

  // While a clip converted, the current item's share followed its frames.
  bool partway = false;
  for (const auto& record : recorder_.progress) partway |= record.itemPercent > 0 && record.itemPercent < 100;
  EXPECT_TRUE(partway);
}

TEST_F(ClipDownload, PerItemClipsKeepTheirFrameSize) {
  KXCAMAPI_HANDLE context = Open();
  ASSERT_NE(context, nullptr);
  ASSERT_EQ(KXCAMAPI_Download(context), 0);
  const fs::path big = outFolder_ / "Clip0.AVI", small = outFolder_ / "Clip1.AVI";
  // Every stored frame, sync frames too; a 160 x 128 clip cut to its top
  // 120 rows. No sound.
  EXPECT_EQ(Probe(big, "v:0", "width,height,r_frame_rate,nb_read_frames"),
            "320,240,10/1," + std::to_string(kBigChunks));
  EXPECT_EQ(Probe(small, "v:0", "width,height,r_frame_rate,nb_read_frames"),
            "160,120,10/1," + std::to_string(kSmallChunks));
  EXPECT_EQ(Probe(big, "a", "codec_name"), "");
  ExpectFrames(big, 320, 240, 240, 0, 0, kBigChunks);
  ExpectFrames(small, 160, 120, 128, 0, 0, kSmallChunks);
}

}  // namespace
}  // namespace ksv::camapi::testing
