// Turns the decoder's output layouts into top-down R, G, B pictures.
#pragma once

#include <cstdint>
#include <span>

#include "codec/frame_format.h"
#include "simcam/picture.h"

namespace ksv::ksvcam {

enum class ChannelOrder { kBgr, kRgb };

// `pixels` holds `size` 24-bit rows bottom-up in `order`.
simcam::RgbPicture FromBottomUp24(std::span<const uint8_t> pixels, codec::FrameSize size,
                                  ChannelOrder order);

// `samples` is planar 4:2:0 (Y, then Cb and Cr at half size). Each pixel takes
// the chroma of its 2 x 2 group and is converted in 16.16 fixed point, as the
// decoder's own planar-to-24-bit step does, so both give the same picture.
simcam::RgbPicture PlanarToRgb(std::span<const uint8_t> samples, codec::FrameSize size);

}  // namespace ksv::ksvcam
