#include "support/picture/colour.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "codec/colour_convert.h"

namespace ksv::picture {
namespace {

uint8_t RoundToSample(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

RgbPicture PlanarToRgb(std::span<const uint8_t> samples, uint32_t width, uint32_t height) {
  const PlanarPicture shape = BlankPlanar(width, height);  // checks the size
  if (samples.size() < shape.samples.size()) {
    throw PictureError("a " + std::to_string(width) + "x" + std::to_string(height) +
                       " planar picture needs " + std::to_string(shape.samples.size()) +
                       " bytes, not " + std::to_string(samples.size()));
  }
  RgbPicture picture = BlankRgb(width, height);
  const uint8_t* luma = samples.data();
  const uint8_t* cb = luma + size_t{width} * height;
  const uint8_t* cr = cb + size_t{width / 2} * (height / 2);
  // The codec converts rows of at most kMaxConvertWidth pixels; wider
  // pictures go in strips of whole 2 x 2 groups.
  for (uint32_t left = 0; left < width; left += codec::kMaxConvertWidth) {
    const uint32_t strip = std::min(width - left, codec::kMaxConvertWidth);
    const codec::ColourRows rows{luma + left,
                                 static_cast<ptrdiff_t>(width),
                                 cb + left / 2,
                                 cr + left / 2,
                                 static_cast<ptrdiff_t>(width / 2),
                                 strip,
                                 height,
                                 picture.pixels.data() + size_t{left} * 3,
                                 static_cast<ptrdiff_t>(size_t{width} * 3)};
    codec::ConvertToRgb24(rows, codec::ColourForm::kPlanar, /*rgbOrder=*/true, nullptr);
  }
  return picture;
}

RgbPicture PlanarToRgb(const PlanarPicture& picture) {
  CheckWhole(picture);
  return PlanarToRgb(picture.samples, picture.width, picture.height);
}

PlanarPicture RgbToPlanar(const RgbPicture& picture) {
  CheckWhole(picture);
  const uint32_t width = picture.width;
  const uint32_t height = picture.height;
  PlanarPicture planar = BlankPlanar(width, height);
  uint8_t* yPlane = planar.samples.data();
  uint8_t* cbPlane = yPlane + size_t{width} * height;
  uint8_t* crPlane = cbPlane + size_t{width / 2} * (height / 2);
  const uint8_t* rgb = picture.pixels.data();

  for (size_t i = 0; i < size_t{width} * height; ++i) {
    const double r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    yPlane[i] = RoundToSample(0.299 * r + 0.587 * g + 0.114 * b);
  }
  // The conversion is linear, so converting the 2 x 2 mean colour equals
  // averaging the four pixels' chroma.
  for (uint32_t cy = 0; cy < height / 2; ++cy) {
    for (uint32_t cx = 0; cx < width / 2; ++cx) {
      double r = 0, g = 0, b = 0;
      for (uint32_t dy = 0; dy < 2; ++dy) {
        const uint8_t* p = rgb + ((size_t{2 * cy + dy} * width) + 2 * cx) * 3;
        r += p[0] + p[3];
        g += p[1] + p[4];
        b += p[2] + p[5];
      }
      r /= 4;
      g /= 4;
      b /= 4;
      const size_t at = size_t{cy} * (width / 2) + cx;
      cbPlane[at] = RoundToSample(128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b);
      crPlane[at] = RoundToSample(128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b);
    }
  }
  return planar;
}

RgbPicture FromBottomUp24(std::span<const uint8_t> pixels, uint32_t width, uint32_t height,
                          ChannelOrder order) {
  RgbPicture picture = BlankRgb(width, height);
  const size_t rowBytes = size_t{width} * 3;
  if (pixels.size() / rowBytes < height) {
    throw PictureError("24-bit rows of " + std::to_string(pixels.size()) +
                       " bytes are too short for " + std::to_string(width) + "x" +
                       std::to_string(height));
  }
  const size_t red = order == ChannelOrder::kRgb ? 0 : 2;
  const size_t blue = 2 - red;
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* from = pixels.data() + (height - 1 - row) * rowBytes;
    uint8_t* to = picture.pixels.data() + row * rowBytes;
    for (uint32_t x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[red];
      to[1] = from[1];
      to[2] = from[blue];
    }
  }
  return picture;
}

std::vector<uint8_t> ToBitmapRows(const RgbPicture& picture) {
  CheckWhole(picture);
  const size_t rowBytes = BitmapRowBytes(picture.width);
  std::vector<uint8_t> rows(rowBytes * picture.height, 0);
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* from = picture.pixels.data() + size_t{y} * picture.width * 3;
    uint8_t* to = rows.data() + (picture.height - 1 - y) * rowBytes;
    for (uint32_t x = 0; x < picture.width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  return rows;
}

}  // namespace ksv::picture
