// Pictures for tests of anything that takes or makes pictures.
#pragma once

#include <cstdint>

#include "support/picture/picture.h"

namespace ksv::picture::testing {

// Every pixel differs from its neighbours and its channels differ, so a
// flipped, mirrored or channel-swapped copy is caught.
RgbPicture PatternPicture(uint32_t width, uint32_t height);

// A smooth picture (colours change slowly and differently along x and y):
// lossy coding keeps it close.
RgbPicture SmoothPicture(uint32_t width, uint32_t height);

}  // namespace ksv::picture::testing
