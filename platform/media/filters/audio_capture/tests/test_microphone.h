// A microphone the tests plug in themselves: it hears a known pattern (16
// bits: frame i, channel c holds (i * 7 + c * 1000) wrapped to 16 bits; 8
// bits: its high byte + 128) for a given number of frames, or endlessly.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/audio/audio_source.h"
#include "platform/hardware/hardware_device.h"

namespace ksv::media::filters::testing {

int16_t PatternSample(uint64_t frame, int channel);

class TestMicrophone final : public platform::hardware::HardwareDevice,
                             public platform::audio::AudioSource {
 public:
  // `frames` 0: endless.
  TestMicrophone(std::string name, uint64_t frames) : name_(std::move(name)), frames_(frames) {}

  std::string_view Name() const override { return name_; }
  void* Function(std::string_view interfaceName) override;

  platform::audio::PcmRange Range() const override { return {8000, 48000, 1, 2, 8, 16}; }
  platform::audio::PcmFormat PreferredFormat() const override { return {8000, 1, 16}; }
  std::unique_ptr<platform::audio::AudioCapture> Open(const platform::audio::PcmFormat& format,
                                                      std::string* error) override;

  void FailOpening(bool fail) { failOpen_ = fail; }
  int opened() const { return opened_.load(); }
  platform::audio::PcmFormat lastFormat() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastFormat_;
  }

 private:
  std::string name_;
  uint64_t frames_;
  std::atomic<bool> failOpen_{false};
  std::atomic<int> opened_{0};
  mutable std::mutex mutex_;
  platform::audio::PcmFormat lastFormat_;
};

}  // namespace ksv::media::filters::testing
