#include "platform/sound/sdl_playback.h"

#include <SDL.h>

#include <cstdlib>
#include <string_view>

namespace ksv::platform::sound {

bool SdlDriverPlays() {
  const char* asked = std::getenv("SDL_AUDIODRIVER");
  if (asked != nullptr && *asked != '\0') return true;
  const char* driver = SDL_GetCurrentAudioDriver();
  return driver != nullptr && std::string_view(driver) != "dummy" &&
         std::string_view(driver) != "disk";
}

uint32_t OpenSdlPlayback(uint32_t rate, uint16_t channels, uint16_t bits, uint16_t frames) {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(rate);
  wanted.format = bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  wanted.channels = static_cast<Uint8>(channels);
  wanted.samples = frames;
  wanted.callback = nullptr;  // queued
  // No changes allowed: SDL converts to what the device takes.
  return SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
}

}  // namespace ksv::platform::sound
