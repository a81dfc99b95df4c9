// PNG files through libpng.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::picture {

// Any bit depth and colour type as 8-bit R, G, B; transparent pixels are
// laid over black. Throws PictureError naming `name` and the cause for a
// file that is not a whole PNG or is larger than kMaxPixels.
RgbPicture DecodePng(std::span<const uint8_t> file, const std::string& name);

// An 8-bit R, G, B PNG file. Throws PictureError.
std::vector<uint8_t> EncodePng(const RgbPicture& picture);

}  // namespace ksv::picture
