// Sound for the simulated camera's clips and recordings: reading a person's
// WAV file, changing its rate, and writing 8-bit WAV files.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace ksv::simcam {

struct MonoAudio {
  uint32_t rate = 0;  // samples a second
  std::vector<int16_t> samples;
};

class WavError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a RIFF/WAVE file of 8- or 16-bit PCM (format 1, or extensible with
// the PCM subformat), 1 to 8 channels mixed down to one, 1,000 to 192,000
// samples a second. Throws WavError naming what is wrong.
MonoAudio ReadWav(std::span<const uint8_t> file);

// A canonical 44-byte-header WAV file of 8-bit unsigned mono PCM.
std::vector<uint8_t> WriteWav8(const MonoAudio& audio);

// Linear interpolation to `rate`; the length scales with the rate.
MonoAudio Resample(const MonoAudio& audio, uint32_t rate);

// 8-bit unsigned PCM, as WAV files and the camera's 12,000 Hz clips hold it.
uint8_t ToUnsigned8(int16_t sample);

}  // namespace ksv::simcam
