// The simulated microphone: it hears the WAV file KSV_MICROPHONE names
// (from its start at each capture, ending where the file ends) or, without
// one, an endless 440 Hz tone, and delivers it as PCM of 8,000 to 48,000
// samples a second, 8 or 16 bits, mono or stereo, converting the file's
// own format when a capture asks for another.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/audio/audio_source.h"
#include "platform/hardware/hardware_device.h"

namespace ksv::simcam {

// The environment variable naming the microphone's WAV file.
inline constexpr const char* kMicrophoneFileVariable = "KSV_MICROPHONE";
inline constexpr double kTestToneHertz = 440;

class SimulatedMicrophone final : public platform::audio::AudioSource {
 public:
  platform::audio::PcmRange Range() const override;
  // The file's format (its rate brought into the range) when the file can be
  // read, else 44,100 Hz 16-bit stereo.
  platform::audio::PcmFormat PreferredFormat() const override;
  // Fails for a format outside the range and for a file named but
  // unreadable (never silence in its place).
  std::unique_ptr<platform::audio::AudioCapture> Open(const platform::audio::PcmFormat& format,
                                                      std::string* error) override;
  // The time its captures have spent making their sound.
  double WorkSeconds() const;

 private:
  std::atomic<int64_t> workNanoseconds_{0};
};

class SimulatedMicrophoneDevice final : public platform::hardware::HardwareDevice {
 public:
  static constexpr const char* kName = "KSV Simulated Microphone";
  std::string_view Name() const override { return kName; }
  // The audio source.
  void* Function(std::string_view interfaceName) override;
  double WorkSeconds() const override { return microphone_.WorkSeconds(); }

 private:
  SimulatedMicrophone microphone_;
};

}  // namespace ksv::simcam
