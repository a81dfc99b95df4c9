#include "platform/media/filters/audio_renderer/sound_device.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/sound/sdl_playback.h"

namespace ksv::media::audiorenderer {

bool SoundWanted() {
  const char* setting = std::getenv("KSV_AUDIO");
  return setting == nullptr || std::strcmp(setting, "none") != 0;
}

std::unique_ptr<SoundDevice> SoundDevice::Open(const WAVEFORMATEX& format) {
  if (!SoundWanted()) return nullptr;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  const SDL_AudioDeviceID device =
      platform::sound::SdlDriverPlays()
          ? platform::sound::OpenSdlPlayback(format.nSamplesPerSec, format.nChannels,
                                             format.wBitsPerSample, 2048)
          : 0;
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
