#include "simcam/adpcm_encoder.h"

#include <algorithm>
#include <array>

#include "support/adpcm/ima_adpcm.h"

namespace ksv::simcam {

static_assert(kAdpcmBlockBytes == adpcm::kCameraBlockBytes);
static_assert(kAdpcmBlockSamples == adpcm::kCameraBlockSamples);

std::vector<uint8_t> EncodeAdpcm(std::span<const int16_t> samples) {
  const size_t blocks = (samples.size() + kAdpcmBlockSamples - 1) / kAdpcmBlockSamples;
  std::vector<uint8_t> out(blocks * kAdpcmBlockBytes);
  std::array<int16_t, kAdpcmBlockSamples> block{};
  int index = 0;
  for (size_t b = 0; b < blocks; ++b) {
    // The last block is completed with silence.
    const auto from = samples.subspan(b * kAdpcmBlockSamples);
    const size_t count = std::min(from.size(), kAdpcmBlockSamples);
    std::fill(std::copy_n(from.begin(), count, block.begin()), block.end(), int16_t{0});
    adpcm::EncodeCameraBlock(block, &index,
                             std::span<uint8_t, kAdpcmBlockBytes>(out.data() + b * kAdpcmBlockBytes,
                                                                  kAdpcmBlockBytes));
  }
  return out;
}

}  // namespace ksv::simcam
