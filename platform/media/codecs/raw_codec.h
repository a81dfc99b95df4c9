// The uncompressed "codecs": BI_RGB (24 or 32 bits) and planar I420 (also
// named IYUV), decoded to RGB and encoded from RGB24 or I420 by the
// conversions of convert.h. Every frame is a key frame.
#pragma once

#include "platform/media/codecs/video_codec.h"

namespace ksv::media::codecs {

std::unique_ptr<VideoDecoder> MakeRgbDecoder(int width, int height, int bitCount,
                                             PixelFormat output);
std::unique_ptr<VideoEncoder> MakeRgbEncoder(const PictureFormat& input, int keyFrameEvery);
std::unique_ptr<VideoDecoder> MakeI420Decoder(int width, int height, int bitCount,
                                              PixelFormat output);
std::unique_ptr<VideoEncoder> MakeI420Encoder(const PictureFormat& input, int keyFrameEvery);

}  // namespace ksv::media::codecs
