// How the camera frames a scene: the picture its sensor and scaler make of
// a photograph.
#pragma once

#include <cstdint>

#include "support/picture/picture.h"

namespace ksv::simcam {

// Centre-crops to the aspect ratio of width x height and resamples with
// area averaging, as a camera's sensor and scaler would frame the scene.
// Throws std::invalid_argument for an empty source or target size.
picture::RgbPicture FitToSize(const picture::RgbPicture& picture, uint32_t width, uint32_t height);

}  // namespace ksv::simcam
