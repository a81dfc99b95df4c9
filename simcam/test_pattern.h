// The simulated camera's built-in scene when no pictures are given: colour
// bars with a white bar that moves one step per frame, so every frame of a
// stream differs from the one before.
#pragma once

#include <cstdint>

#include "support/picture/picture.h"

namespace ksv::simcam {

// Throws std::invalid_argument for an empty size.
picture::RgbPicture TestPattern(uint32_t width, uint32_t height, uint32_t frameIndex);

}  // namespace ksv::simcam
