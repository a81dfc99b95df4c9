// Peak signal-to-noise ratio of a decoded picture against its source.
#pragma once

#include <cstdint>
#include <span>

namespace ksv::ksvcam {

// PSNR in dB over 8-bit samples of equal count; +infinity when identical.
// Throws std::invalid_argument when the counts differ or are zero.
double Psnr(std::span<const uint8_t> reference, std::span<const uint8_t> decoded);

}  // namespace ksv::ksvcam
