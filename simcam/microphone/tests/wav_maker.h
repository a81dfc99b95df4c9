// WAV files for the microphone's tests: PCM of a given format around the
// caller's sample bytes, and a scoped KSV_MICROPHONE.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/audio_source.h"

namespace ksv::simcam::testing {

// Writes a canonical WAV file of `format` (a PCM WAVEFORMATEX with
// `formatTag`) holding `data`.
void WritePcmWav(const std::filesystem::path& path, const platform::audio::PcmFormat& format,
                 const std::vector<uint8_t>& data, uint16_t formatTag = 1);

// 16-bit samples as little-endian bytes and back.
std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples);
std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes);

// Sets (or, with nullopt, clears) KSV_MICROPHONE for its lifetime.
class ScopedMicrophoneFile {
 public:
  explicit ScopedMicrophoneFile(const std::optional<std::string>& path);
  ~ScopedMicrophoneFile();
  ScopedMicrophoneFile(const ScopedMicrophoneFile&) = delete;
  ScopedMicrophoneFile& operator=(const ScopedMicrophoneFile&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace ksv::simcam::testing
