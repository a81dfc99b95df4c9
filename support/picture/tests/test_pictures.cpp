#include "support/picture/tests/test_pictures.h"

namespace ksv::picture::testing {

RgbPicture PatternPicture(uint32_t width, uint32_t height) {
  RgbPicture picture = BlankRgb(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = picture.pixels.data() + (size_t{y} * width + x) * 3;
      pixel[0] = static_cast<uint8_t>(x * 7 + y);
      pixel[1] = static_cast<uint8_t>(x + y * 11 + 50);
      pixel[2] = static_cast<uint8_t>(x * 3 + y * 5 + 130);
    }
  }
  return picture;
}

RgbPicture SmoothPicture(uint32_t width, uint32_t height) {
  RgbPicture picture = BlankRgb(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = picture.pixels.data() + (size_t{y} * width + x) * 3;
      pixel[0] = static_cast<uint8_t>(40 + 180 * x / width);
      pixel[1] = static_cast<uint8_t>(100 + 60 * (x + y) / (width + height));
      pixel[2] = static_cast<uint8_t>(220 - 180 * y / height);
    }
  }
  return picture;
}

}  // namespace ksv::picture::testing
