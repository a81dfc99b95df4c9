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
      pixel[0] = static_cast<uint8_t>(40 + 160 * x / width);
      pixel[1] = static_cast<uint8_t>(200 - 150 * y / height);
      pixel[2] = static_cast<uint8_t>(60 + 80 * (x + y) / (width + height));
    }
  }
  return picture;
}

}  // namespace ksv::picture::testing
