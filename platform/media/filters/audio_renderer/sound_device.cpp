#include "platform/media/filters/audio_renderer/sound_device.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

namespace ksv::media::audiorenderer {
namespace {

// Drivers that play nowhere count as no device unless asked for by name.
bool DriverPlays() {
  const char* asked = std::getenv("SDL_AUDIODRIVER");
  if (asked != nullptr && *asked != '\0') return true;
  const char* driver = SDL_GetCurrentAudioDriver();
  return driver != nullptr && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "disk") != 0;
}

}  // namespace

bool SoundWanted() {
  const char* setting = std::getenv("KSV_AUDIO");
  return setting == nullptr || std::strcmp(setting, "none") != 0;
}

std::unique_ptr<SoundDevice> SoundDevice::Open(const WAVEFORMATEX& format) {
  if (!SoundWanted()) return nullptr;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(format.nSamplesPerSec);
  wanted.format = format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  wanted.channels = static_cast<Uint8>(format.nChannels);
  wanted.samples = 2048;
  wanted.callback = nullptr;  // queued
  SDL_AudioSpec got{};
  const SDL_AudioDeviceID device =
      DriverPlays() ? SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0) : 0;
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  return std::unique_ptr<SoundDevice>(new SoundDevice(device));
}

SoundDevice::~SoundDevice() {
  SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SoundDevice::Queue(const uint8_t* bytes, size_t size) {
  return SDL_QueueAudio(device_, bytes, static_cast<Uint32>(size)) == 0;
}

size_t SoundDevice::Queued() const { return SDL_GetQueuedAudioSize(device_); }

void SoundDevice::Play(bool playing) { SDL_PauseAudioDevice(device_, playing ? 0 : 1); }

void SoundDevice::Clear() { SDL_ClearQueuedAudio(device_); }

}  // namespace ksv::media::audiorenderer
