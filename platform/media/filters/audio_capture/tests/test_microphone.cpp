#include "platform/media/filters/audio_capture/tests/test_microphone.h"

namespace ksv::media::filters::testing {
namespace {

class PatternCapture final : public platform::audio::AudioCapture {
 public:
  PatternCapture(const platform::audio::PcmFormat& format, uint64_t frames)
      : format_(format), frames_(frames) {}
  size_t Read(std::span<uint8_t> buffer) override {
    const size_t align = format_.BlockAlign();
    size_t written = 0;
    while (written + align <= buffer.size() && (frames_ == 0 || next_ < frames_)) {
      for (int channel = 0; channel < format_.channels; ++channel) {
        const int16_t value = PatternSample(next_, channel);
        if (format_.bitsPerSample == 8) {
          buffer[written + channel] = static_cast<uint8_t>((value >> 8) + 128);
        } else {
          buffer[written + 2 * channel] = static_cast<uint8_t>(value & 0xFF);
          buffer[written + 2 * channel + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
        }
      }
      written += align;
      ++next_;
    }
    return written;
  }

 private:
  platform::audio::PcmFormat format_;
  uint64_t frames_;
  uint64_t next_ = 0;
};

}  // namespace

int16_t PatternSample(uint64_t frame, int channel) {
  const uint64_t value = frame * 7 + static_cast<uint64_t>(channel) * 1000;
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void* TestMicrophone::Function(std::string_view interfaceName) {
  if (interfaceName == platform::audio::kAudioSourceInterface) {
    return static_cast<platform::audio::AudioSource*>(this);
  }
  return nullptr;
}

std::unique_ptr<platform::audio::AudioCapture> TestMicrophone::Open(
    const platform::audio::PcmFormat& format, std::string* error) {
  if (failOpen_ || !Range().Contains(format)) {
    *error = "cannot hear";
    return nullptr;
  }
  ++opened_;
  std::lock_guard<std::mutex> lock(mutex_);
  lastFormat_ = format;
  return std::make_unique<PatternCapture>(format, frames_);
}

}  // namespace ksv::media::filters::testing
