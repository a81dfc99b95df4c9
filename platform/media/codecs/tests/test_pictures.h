// Pictures for the codec tests: a smooth scene with edges (what a camera
// sees, so lossy codecs keep most of it) and the picture difference as
// PSNR.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/codecs/picture.h"

namespace ksv::media::codecs::testing {

// An RGB24 DIB of width x height: gradients, a bright disc, a dark bar;
// `phase` moves the scene.
std::vector<uint8_t> Scene(int width, int height, int phase = 0);
// The PSNR (dB) between two pictures of `format` over their pixels (not
// the row padding, nor RGB32's fourth byte); 99 when they are equal.
double Psnr(const PictureFormat& format, const std::vector<uint8_t>& a,
            const std::vector<uint8_t>& b);

}  // namespace ksv::media::codecs::testing
