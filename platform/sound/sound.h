// Playing sounds as the platform's multimedia library offers it
// (sndPlaySoundA) and the system's beep (MessageBeep).
//
// A sound is played through SDL2's audio when the installed performance
// counter is the real clock and an audio device opens (not with
// KSV_AUDIO=none or KSV_HEADLESS set, nor on SDL's dummy or disk driver
// unless asked for by SDL_AUDIODRIVER); otherwise (a machine without sound,
// a test, a simulated counter) it is not heard,
// and a synchronous play lasts the sound's duration on the installed
// counter (a simulated one that advances with waits moves on by it at
// once), so nothing ever waits for a device that is not there.
//
// Where this differs from the platform: only sounds in memory are played
// (SND_MEMORY: a RIFF WAVE image of 8- or 16-bit PCM, 1 or 2 channels);
// file names, system sound aliases and SND_LOOP fail (FALSE).
#pragma once

#include "platform/sound/mb_flags.h"
#include "include/win32_types.h"

inline constexpr UINT SND_SYNC = 0x0000;
inline constexpr UINT SND_ASYNC = 0x0001;
inline constexpr UINT SND_NODEFAULT = 0x0002;
inline constexpr UINT SND_MEMORY = 0x0004;
inline constexpr UINT SND_LOOP = 0x0008;
inline constexpr UINT SND_NOSTOP = 0x0010;

// MessageBeep types (MB_OK and the MB_ICON values of mb_flags.h):
// each plays the same built-in tone.

extern "C" {

// Plays the WAVE image at `sound` (with SND_MEMORY). SND_SYNC returns when
// it has been played; SND_ASYNC at once, stopping any sound still playing
// unless SND_NOSTOP (then FALSE while one plays). A null `sound` stops what
// plays. FALSE for a sound that is not a WAVE image of PCM as above.
BOOL sndPlaySoundA(const char* sound, UINT flags);

// Starts a short tone (about 150 ms) and returns at once, as the platform's
// beep does.
BOOL MessageBeep(UINT type);

}  // extern "C"
