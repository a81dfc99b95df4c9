// Packed bitmaps (as the camera's libraries hand them over) read as pictures.
#pragma once

#include "simcam/picture.h"

namespace ksv::ksvcam {

// The pixels of a locked 24-bit bottom-up packed bitmap of `blockBytes`
// bytes as a top-down R, G, B picture, read by the bitmap rules (rows bottom
// first; B, G, R; each row padded to 4 bytes). Throws CommandFailure for
// another depth or compression, a top-down or empty bitmap, or a block too
// small for the pixels its header describes.
simcam::RgbPicture PackedBitmapToPicture(const void* bitmap, size_t blockBytes);

}  // namespace ksv::ksvcam
