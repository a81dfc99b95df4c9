// Peak signal-to-noise ratio: how close a decoded picture is to its source.
#pragma once

#include <cstdint>
#include <span>

#include "support/picture/picture.h"

namespace ksv::picture {

// PSNR in dB over 8-bit samples of equal count (peak 255); +infinity when
// they are identical. Throws PictureError when the counts differ or are 0.
double Psnr(std::span<const uint8_t> reference, std::span<const uint8_t> decoded);

// The same over every sample of two pictures of one size; throws
// PictureError when the sizes differ.
double Psnr(const RgbPicture& reference, const RgbPicture& decoded);
double Psnr(const PlanarPicture& reference, const PlanarPicture& decoded);

}  // namespace ksv::picture
