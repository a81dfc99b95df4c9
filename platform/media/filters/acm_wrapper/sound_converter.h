// What the ACM Wrapper does to the sound: 16-bit PCM into one of our
// compressed formats (IMA ADPCM in WAV blocks, A-law, mu-law) or back.
// Sound is converted in whole units: an IMA block (its samples per block
// of PCM frames) or one sample frame for G.711.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/media/formats.h"

namespace ksv::media::acm {

class SoundConverter {
 public:
  // Compressed `format` (with its extra bytes counted in `formatBytes`)
  // to 16-bit PCM; nothing when the format is not one of ours or is not
  // whole (IMA: a block size with no whole samples, a samples-per-block
  // that disagrees with it).
  static std::optional<SoundConverter> Decoding(const WAVEFORMATEX& format, size_t formatBytes);
  // 16-bit PCM `pcm` to `tag`; nothing for other PCM or tags.
  static std::optional<SoundConverter> Encoding(const WAVEFORMATEX& pcm, WORD tag);

  size_t InputUnit() const { return inputUnit_; }
  size_t OutputUnit() const { return outputUnit_; }
  // PCM frames (samples a channel) one unit holds.
  size_t FramesPerUnit() const { return framesPerUnit_; }

  // Converts `units` whole units from `in` into `out` (both long enough).
  void Convert(const uint8_t* in, size_t units, uint8_t* out);

 private:
  SoundConverter() = default;

  bool encoding_ = false;
  WORD tag_ = 0;
  int channels_ = 1;
  size_t inputUnit_ = 1, outputUnit_ = 1, framesPerUnit_ = 1;
  int indexes_[2] = {0, 0};  // the IMA encoder's step index per channel
  std::vector<int16_t> block_;  // one IMA block's samples, sized once
};

}  // namespace ksv::media::acm
