#include "apps/ksvcam/picture_convert.h"

#include <algorithm>
#include <stdexcept>

namespace ksv::ksvcam {
namespace {

uint8_t Clamp255(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

simcam::RgbPicture FromBottomUp24(std::span<const uint8_t> pixels, codec::FrameSize size,
                                  ChannelOrder order) {
  const size_t rowBytes = size_t{size.width} * 3;
  if (pixels.size() < rowBytes * size.height) {
    throw std::invalid_argument("24-bit picture is shorter than its size");
  }
  simcam::RgbPicture picture{size.width, size.height, std::vector<uint8_t>(rowBytes * size.height)};
  const size_t red = order == ChannelOrder::kRgb ? 0 : 2;
  const size_t blue = 2 - red;
  for (uint32_t row = 0; row < size.height; ++row) {
    const uint8_t* from = pixels.data() + (size.height - 1 - row) * rowBytes;
    uint8_t* to = picture.pixels.data() + row * rowBytes;
    for (uint32_t x = 0; x < size.width; ++x, from += 3, to += 3) {
      to[0] = from[red];
      to[1] = from[1];
      to[2] = from[blue];
    }
  }
  return picture;
}

simcam::RgbPicture PlanarToRgb(std::span<const uint8_t> samples, codec::FrameSize size) {
  if (size.width % 2 != 0 || size.height % 2 != 0) {
    throw std::invalid_argument("planar 4:2:0 pictures have even width and height");
  }
  if (samples.size() < codec::PlanarBytes(size)) {
    throw std::invalid_argument("planar picture is shorter than its size");
  }
  const uint32_t chromaWidth = size.width / 2;
  const uint8_t* luma = samples.data();
  const uint8_t* cb = luma + size_t{size.width} * size.height;
  const uint8_t* cr = cb + size_t{chromaWidth} * (size.height / 2);

  simcam::RgbPicture picture{size.width, size.height,
                             std::vector<uint8_t>(codec::Rgb24Bytes(size))};
  uint8_t* to = picture.pixels.data();
  for (uint32_t y = 0; y < size.height; ++y) {
    for (uint32_t x = 0; x < size.width; ++x, to += 3) {
      const size_t chroma = size_t{y / 2} * chromaWidth + x / 2;
      const int32_t scaledY = int32_t{luma[size_t{y} * size.width + x]} * 65536;
      const int32_t blueDiff = int32_t{cb[chroma]} - 128;
      const int32_t redDiff = int32_t{cr[chroma]} - 128;
      to[0] = Clamp255((scaledY + redDiff * 91881) >> 16);
      to[1] = Clamp255((scaledY - blueDiff * 22553 - redDiff * 46801) >> 16);
      to[2] = Clamp255((scaledY + blueDiff * 116129) >> 16);
    }
  }
  return picture;
}

}  // namespace ksv::ksvcam
