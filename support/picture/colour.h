// Conversions between the picture kinds and the raw layouts decoders and
// bitmaps use.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::picture {

// 4:2:0 samples (Y, then Cb and Cr at half size) to R, G, B through the
// codec's own planar colour form (codec/colour_convert.h), so a planar
// picture converted here equals the decoder's own 24-bit output of it.
// Throws PictureError for an odd or empty size or too few samples.
RgbPicture PlanarToRgb(std::span<const uint8_t> samples, uint32_t width, uint32_t height);
RgbPicture PlanarToRgb(const PlanarPicture& picture);

// JFIF (full-range BT.601) conversion with the chroma of each 2 x 2 group
// averaged, rounded: how the camera's sensor pipeline makes its planar
// pictures. Throws PictureError for an odd size.
PlanarPicture RgbToPlanar(const RgbPicture& picture);

enum class ChannelOrder { kBgr, kRgb };

// `pixels` holds `height` rows of `width` 24-bit pixels in `order`, bottom
// row first, rows packed without padding (as the decoder writes them).
// Throws PictureError when it is shorter than that.
RgbPicture FromBottomUp24(std::span<const uint8_t> pixels, uint32_t width, uint32_t height,
                          ChannelOrder order);

// The picture as bitmap rows: bottom row first, each pixel B, G, R, each
// row padded with zeros to a multiple of 4 bytes.
std::vector<uint8_t> ToBitmapRows(const RgbPicture& picture);

// Bytes of one such row.
constexpr size_t BitmapRowBytes(uint32_t width) { return (size_t{width} * 3 + 3) & ~size_t{3}; }

}  // namespace ksv::picture
