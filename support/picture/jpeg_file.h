// JPEG files through libjpeg-turbo's TurboJPEG interface.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::picture {

// A baseline or progressive JPEG file (colour or grey) as 8-bit R, G, B.
// Any fault libjpeg-turbo reports, even one it calls a warning (a file cut
// short, corrupt entropy data), refuses the file: a damaged photograph is
// not passed on as if it were whole. Throws PictureError naming `name` and
// the cause, also for pictures larger than kMaxPixels.
RgbPicture DecodeJpeg(std::span<const uint8_t> file, const std::string& name);

// A JFIF file with 4:2:0 chroma at `quality` (1 to 100). Throws
// PictureError.
std::vector<uint8_t> EncodeJpeg(const RgbPicture& picture, int quality = 90);

}  // namespace ksv::picture
