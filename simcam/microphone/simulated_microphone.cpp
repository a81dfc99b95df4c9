#include "simcam/microphone/simulated_microphone.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "simcam/microphone/sound_frames.h"

namespace ksv::simcam {
namespace {

using platform::audio::PcmFormat;
using platform::audio::PcmRange;

constexpr PcmRange kRange{8000, 48000, 1, 2, 8, 16};
constexpr PcmFormat kDefaultFormat{44100, 2, 16};

// The file KSV_MICROPHONE names; empty for none.
std::string MicrophoneFile() {
  const char* path = std::getenv(kMicrophoneFileVariable);
  return path != nullptr ? path : "";
}

// A capture that counts the time its reads take.
class TimedCapture final : public platform::audio::AudioCapture {
 public:
  TimedCapture(std::unique_ptr<platform::audio::AudioCapture> capture,
               std::atomic<int64_t>& workNanoseconds)
      : capture_(std::move(capture)), workNanoseconds_(workNanoseconds) {}
  size_t Read(std::span<uint8_t> buffer) override {
    const auto start = std::chrono::steady_clock::now();
    const size_t bytes = capture_->Read(buffer);
    workNanoseconds_ += std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    return bytes;
  }

 private:
  std::unique_ptr<platform::audio::AudioCapture> capture_;
  std::atomic<int64_t>& workNanoseconds_;
};

}  // namespace

double SimulatedMicrophone::WorkSeconds() const { return double(workNanoseconds_.load()) * 1e-9; }

PcmRange SimulatedMicrophone::Range() const { return kRange; }

PcmFormat SimulatedMicrophone::PreferredFormat() const {
  const std::string path = MicrophoneFile();
  if (path.empty()) return kDefaultFormat;
  std::string error;
  const auto file = WavFrames::Open(path, &error);
  if (!file) return kDefaultFormat;
  PcmFormat format = file->Format();
  format.samplesPerSecond =
      std::clamp(format.samplesPerSecond, kRange.minimumRate, kRange.maximumRate);
  return format;
}

std::unique_ptr<platform::audio::AudioCapture> SimulatedMicrophone::Open(const PcmFormat& format,
                                                                         std::string* error) {
  if (!kRange.Contains(format)) {
    *error = "the microphone delivers 8,000 to 48,000 Hz, 8 or 16 bits, 1 or 2 channels";
    return nullptr;
  }
  const std::string path = MicrophoneFile();
  std::unique_ptr<FrameSource> sound;
  if (path.empty()) {
    sound = std::make_unique<ToneFrames>(format.samplesPerSecond, kTestToneHertz);
  } else {
    sound = WavFrames::Open(path, error);
    if (!sound) return nullptr;
  }
  return std::make_unique<TimedCapture>(
      std::make_unique<ConvertingCapture>(std::move(sound), format), workNanoseconds_);
}

void* SimulatedMicrophoneDevice::Function(std::string_view interfaceName) {
  if (interfaceName == platform::audio::kAudioSourceInterface) {
    return static_cast<platform::audio::AudioSource*>(&microphone_);
  }
  return nullptr;
}

}  // namespace ksv::simcam
