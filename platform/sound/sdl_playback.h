// SDL2's default playback device opened for PCM, as the sound calls
// (sndPlaySoundA) and the audio renderer both open it. Call after
// SDL_InitSubSystem(SDL_INIT_AUDIO).
#pragma once

#include <cstdint>

namespace ksv::platform::sound {

// Whether SDL's audio driver plays somewhere: its dummy and disk drivers
// count as none unless SDL_AUDIODRIVER asks for them by name.
bool SdlDriverPlays();

// Opens the default device for `channels` of `bits` (8: unsigned, 16:
// signed little-endian) PCM at `rate` Hz, fed by queueing (no callback),
// with a buffer of `frames`; SDL converts to what the device takes. The
// device's id, 0 when it does not open.
uint32_t OpenSdlPlayback(uint32_t rate, uint16_t channels, uint16_t bits, uint16_t frames);

}  // namespace ksv::platform::sound
