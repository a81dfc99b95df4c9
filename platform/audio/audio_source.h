// A device that hears sound (a microphone) as the platform's audio stack
// reaches it: the range of PCM formats it can deliver and captures opened
// in one of them. A hardware module offers it under kAudioSourceInterface
// (platform/hardware/hardware_device.h); the audio capture filter drives it.
//
// The interface crosses shared-object boundaries: it throws nothing, and
// a capture is deleted through its virtual destructor in either module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace ksv::platform::audio {

inline constexpr const char* kAudioSourceInterface = "audio.AudioSource";

// Interleaved PCM: 8-bit samples unsigned, 16-bit signed little-endian.
struct PcmFormat {
  uint32_t samplesPerSecond = 0;
  uint16_t channels = 0;
  uint16_t bitsPerSample = 0;

  uint32_t BlockAlign() const { return uint32_t{channels} * bitsPerSample / 8; }
  uint32_t BytesPerSecond() const { return BlockAlign() * samplesPerSecond; }
  bool operator==(const PcmFormat&) const = default;
};

// Every combination inside the bounds is offered (rates in steps of 1 Hz,
// bits per sample in steps of 8, channels in steps of 1).
struct PcmRange {
  uint32_t minimumRate = 0;
  uint32_t maximumRate = 0;
  uint16_t minimumChannels = 0;
  uint16_t maximumChannels = 0;
  uint16_t minimumBits = 0;
  uint16_t maximumBits = 0;

  bool Contains(const PcmFormat& format) const {
    return format.samplesPerSecond >= minimumRate && format.samplesPerSecond <= maximumRate &&
           format.channels >= minimumChannels && format.channels <= maximumChannels &&
           format.bitsPerSample >= minimumBits && format.bitsPerSample <= maximumBits &&
           format.bitsPerSample % 8 == 0;
  }
};

// One open capture: sound from the moment it was opened, in its format.
// Closed when deleted. Used by one thread at a time.
class AudioCapture {
 public:
  virtual ~AudioCapture() = default;
  // Fills `buffer` with as many whole frames as it holds (fewer only at
  // the end of the sound); returns the bytes written, 0 once the sound has
  // ended. Takes no time: the caller paces the capture.
  virtual size_t Read(std::span<uint8_t> buffer) = 0;
};

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual PcmRange Range() const = 0;
  // The format the device delivers best (the sound's own, when it has one).
  virtual PcmFormat PreferredFormat() const = 0;
  // A capture in `format`, or null with the reason in *error (a format
  // outside the range, sound that cannot be read).
  virtual std::unique_ptr<AudioCapture> Open(const PcmFormat& format, std::string* error) = 0;
};

}  // namespace ksv::platform::audio
