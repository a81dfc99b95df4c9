// Cinepak ("cvid", listed as "Cinepak Codec by Radius") through libavcodec:
// 24-bit frames with key frames and delta frames; the decoder also reads
// the 8-bit (palette and grey) forms older files carry.
#pragma once

#include "platform/media/codecs/video_codec.h"

namespace ksv::media::codecs {

std::unique_ptr<VideoDecoder> MakeCinepakDecoder(int width, int height, int bitCount,
                                                 PixelFormat output);
// Width and height must be multiples of 4, as Cinepak's blocks are.
std::unique_ptr<VideoEncoder> MakeCinepakEncoder(const PictureFormat& input, int keyFrameEvery);

}  // namespace ksv::media::codecs
