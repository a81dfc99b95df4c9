#include "simcam/microphone/tests/wav_maker.h"

#include <cstdlib>
#include <cstring>

#include "platform/media/avi/wav_file.h"
#include "platform/media/formats.h"
#include "simcam/microphone/simulated_microphone.h"
#include "testing/temp_files.h"

namespace ksv::simcam::testing {

void WritePcmWav(const std::filesystem::path& path, const platform::audio::PcmFormat& format,
                 const std::vector<uint8_t>& data, uint16_t formatTag) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = formatTag;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.samplesPerSecond;
  wave.nAvgBytesPerSec = format.BytesPerSecond();
  wave.nBlockAlign = static_cast<WORD>(format.BlockAlign());
  wave.wBitsPerSample = format.bitsPerSample;
  std::vector<uint8_t> fmt(sizeof(wave));
  std::memcpy(fmt.data(), &wave, sizeof(wave));
  std::vector<uint8_t> file = media::avi::WavHeader(fmt, data.size(), 0);
  file.insert(file.end(), data.begin(), data.end());
  ksv::testing::WriteFile(path, file);
}

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int16_t sample : samples) {
    bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
    bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
  }
  return bytes;
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return samples;
}

ScopedMicrophoneFile::ScopedMicrophoneFile(const std::optional<std::string>& path) {
  if (const char* now = std::getenv(kMicrophoneFileVariable)) previous_ = now;
  if (path) {
    setenv(kMicrophoneFileVariable, path->c_str(), 1);
  } else {
    unsetenv(kMicrophoneFileVariable);
  }
}

ScopedMicrophoneFile::~ScopedMicrophoneFile() {
  if (previous_) {
    setenv(kMicrophoneFileVariable, previous_->c_str(), 1);
  } else {
    unsetenv(kMicrophoneFileVariable);
  }
}

}  // namespace ksv::simcam::testing
