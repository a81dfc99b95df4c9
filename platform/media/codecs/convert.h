// Conversions between the uncompressed pictures of picture.h: RGB24 and
// RGB32 either way, and planar I420 to and from RGB with the BT.601
// coefficients of video (Y 16..235, U and V 16..240 around 128), in
// integer arithmetic. Nothing is allocated; the pictures must not overlap.
#pragma once

#include "platform/media/codecs/picture.h"

namespace ksv::media::codecs {

// Converts `source` (of `from`) into `target` (of `to`, the same width and
// height; any of the three formats, the same one copies). false when the
// sizes differ or are not positive.
bool ConvertPicture(const PictureFormat& from, const uint8_t* source, const PictureFormat& to,
                    uint8_t* target);

// JPEG keeps full-range YCbCr (0..255); these map the video-range I420
// planes into that range in place (before they are handed to a JPEG
// compressor that takes YCbCr planes as they are).
void I420VideoToFullRange(const PictureFormat& picture, uint8_t* base);

}  // namespace ksv::media::codecs
