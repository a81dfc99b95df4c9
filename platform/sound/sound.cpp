// sndPlaySoundA and MessageBeep over SDL2's audio, or over the installed
// performance counter when nothing can be heard.
#include "platform/sound/sound.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

#include "support/no_throw.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/avi/byte_io.h"
#include "platform/media/avi/wav_file.h"
#include "platform/sound/sdl_playback.h"
#include "support/byte_order.h"

namespace ksv::platform::sound {
namespace {

namespace kernel = ksv::platform::kernel;

constexpr uint32_t kMaxSoundBytes = 64u << 20;
// How long past its end a sound's last buffer may take to leave the device
// before a synchronous play gives up waiting for it.
constexpr auto kDrainAllowance = std::chrono::seconds(2);

struct Pcm {
  uint32_t rate = 0;
  uint16_t channels = 0;
  uint16_t bits = 0;
  std::span<const uint8_t> data;

  uint32_t BlockAlign() const { return uint32_t{channels} * bits / 8; }
  // The sound's length in ticks of a counter of `frequency`, rounded up.
  int64_t Ticks(int64_t frequency) const {
    const auto frames = static_cast<int64_t>(data.size() / BlockAlign());
    return (frames * frequency + rate - 1) / rate;
  }
  std::chrono::nanoseconds Duration() const {
    return std::chrono::nanoseconds(Ticks(1'000'000'000));
  }
};

// The PCM sound of a WAVE image in memory; its size comes from its RIFF
// header. Nothing for anything else.
std::optional<Pcm> ParseWave(const uint8_t* bytes) {
  if (std::memcmp(bytes, "RIFF", 4) != 0) return std::nullopt;
  const uint32_t riffSize = support::LoadLe32({bytes, 8}, 4);
  if (riffSize < 4 || riffSize > kMaxSoundBytes) return std::nullopt;
  const std::span<const uint8_t> image(bytes, size_t{riffSize} + 8);
  media::avi::WavFile wav;
  try {
    media::avi::MemoryByteSource source(image);
    wav = media::avi::ReadWav(source);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  // WAVEFORMATEX: tag, channels, rate, bytes a second, block alignment, bits.
  const std::span<const uint8_t> format(wav.format);
  Pcm pcm;
  pcm.channels = support::LoadLe16(format, 2);
  pcm.rate = support::LoadLe32(format, 4);
  pcm.bits = support::LoadLe16(format, 14);
  if (support::LoadLe16(format, 0) != 1 || pcm.channels < 1 || pcm.channels > 2 ||
      (pcm.bits != 8 && pcm.bits != 16) || pcm.rate == 0 || support::LoadLe16(format, 12) != pcm.BlockAlign()) {
    return std::nullopt;
  }
  const uint64_t size = wav.dataSize / pcm.BlockAlign() * pcm.BlockAlign();
  pcm.data = image.subspan(static_cast<size_t>(wav.dataOffset), static_cast<size_t>(size));
  return pcm;
}

// Whether sound may be heard: on the real clock, unless told otherwise
// (KSV_AUDIO=none, as for the audio renderer; KSV_HEADLESS, as tests run).
bool AudioWanted() {
  if (!kernel::CurrentPerformanceCounter().IsReal()) return false;
  const char* audio = std::getenv("KSV_AUDIO");
  if (audio != nullptr && std::string_view(audio) == "none") return false;
  const char* headless = std::getenv("KSV_HEADLESS");
  return headless == nullptr || *headless == '\0' || std::string_view(headless) == "0";
}

class Player {
 public:
  bool Play(const Pcm& pcm, bool wait, bool noStop) {
    std::lock_guard guard(mutex_);
    if (noStop && Busy()) return false;
    StopLocked();
    if (AudioWanted() && StartAudio()) {
      if (OpenAndQueue(pcm)) {
        if (wait) WaitForDevice(pcm);
        return true;
      }
    }
    // Nothing to hear it on: it takes its time on the installed counter.
    const kernel::CounterReading clock = kernel::ReadInstalledCounter();
    const int64_t ticks = pcm.Ticks(clock.frequency);
    if (!wait) {
      silentSource_ = clock.source;
      silentUntil_ = clock.counter + ticks;
    } else if (clock.real) {
      std::this_thread::sleep_for(pcm.Duration());
    } else {
      kernel::LetTimePassIfStillInstalled(clock.source, ticks);
    }
    return true;
  }

  void Stop() {
    std::lock_guard guard(mutex_);
    StopLocked();
  }

 private:
  bool StartAudio() {
    if (!audioTried_) {
      audioTried_ = true;
      audioStarted_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
      if (audioStarted_ && !SdlDriverPlays()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted_ = false;
      }
    }
    return audioStarted_;
  }

  bool OpenAndQueue(const Pcm& pcm) {
    device_ = OpenSdlPlayback(pcm.rate, pcm.channels, pcm.bits, 1024);
    if (device_ == 0) return false;
    if (SDL_QueueAudio(device_, pcm.data.data(), static_cast<Uint32>(pcm.data.size())) != 0) {
      StopLocked();
      return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void WaitForDevice(const Pcm& pcm) {
    const auto giveUp = std::chrono::steady_clock::now() + pcm.Duration() + kDrainAllowance;
    while (SDL_GetQueuedAudioSize(device_) > 0 && std::chrono::steady_clock::now() < giveUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The device's own buffer (1024 frames) still holds the end.
    std::this_thread::sleep_for(std::chrono::milliseconds(1024 * 1000 / pcm.rate + 1));
    StopLocked();
  }

  bool Busy() const {
    if (device_ != 0) return SDL_GetQueuedAudioSize(device_) > 0;
    if (silentSource_ == nullptr) return false;
    const std::optional<int64_t> now = kernel::CounterIfStillInstalled(silentSource_);
    return now && *now < silentUntil_;
  }

  void StopLocked() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    silentSource_ = nullptr;
  }

  std::mutex mutex_;
  bool audioTried_ = false;
  bool audioStarted_ = false;
  SDL_AudioDeviceID device_ = 0;
  // An asynchronous sound nobody hears: it "plays" until then.
  const kernel::PerformanceCounterSource* silentSource_ = nullptr;
  int64_t silentUntil_ = 0;
};

Player& ThePlayer() {
  static Player* player = new Player;  // sounds may be stopped from static destructors
  return *player;
}

// The beep: 150 ms of 880 Hz at 22,050 Hz, 16-bit mono, faded in and out.
const std::vector<uint8_t>& BeepImage() {
  static const std::vector<uint8_t> image = [] {
    constexpr uint32_t kRate = 22050;
    constexpr uint32_t kFrames = kRate * 150 / 1000;
    std::vector<uint8_t> data(kFrames * 2);
    for (uint32_t n = 0; n < kFrames; ++n) {
      const double fade = std::min({1.0, n / 200.0, (kFrames - n) / 200.0});
      const auto sample = static_cast<int16_t>(9000 * fade * std::sin(2 * M_PI * 880 * n / kRate));
      support::StoreLe16(data, size_t{n} * 2, static_cast<uint16_t>(sample));
    }
    std::vector<uint8_t> format(18, 0);  // WAVEFORMATEX for PCM
    support::StoreLe16(format, 0, 1);
    support::StoreLe16(format, 2, 1);
    support::StoreLe32(format, 4, kRate);
    support::StoreLe32(format, 8, kRate * 2);
    support::StoreLe16(format, 12, 2);
    support::StoreLe16(format, 14, 16);
    std::vector<uint8_t> wave = media::avi::WavHeader(format, data.size(), kFrames);
    wave.insert(wave.end(), data.begin(), data.end());
    return wave;
  }();
  return image;
}

}  // namespace
}  // namespace ksv::platform::sound

using namespace ksv::platform::sound;

extern "C" {

BOOL sndPlaySoundA(const char* sound, UINT flags) {
  return ksv::support::NoThrow<BOOL>(FALSE, [&]() -> BOOL {
    if (sound == nullptr) {
      ThePlayer().Stop();
      return TRUE;
    }
    if ((flags & SND_MEMORY) == 0 || (flags & SND_LOOP) != 0) return FALSE;  // files and loops are not built
    const std::optional<Pcm> pcm = ParseWave(reinterpret_cast<const uint8_t*>(sound));
    if (!pcm) return FALSE;
    return ThePlayer().Play(*pcm, (flags & SND_ASYNC) == 0, (flags & SND_NOSTOP) != 0) ? TRUE : FALSE;
  });
}

BOOL MessageBeep(UINT /*type*/) {
  return ksv::support::NoThrow<BOOL>(FALSE, [] {
    return sndPlaySoundA(reinterpret_cast<const char*>(BeepImage().data()), SND_MEMORY | SND_ASYNC);
  });
}

}  // extern "C"
