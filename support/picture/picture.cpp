#include "support/picture/picture.h"

#include <string>

namespace ksv::picture {
namespace {

std::string SizeText(uint32_t width, uint32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

void CheckNotEmpty(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0)
    throw PictureError("empty picture size " + SizeText(width, height));
}

void CheckEven(uint32_t width, uint32_t height) {
  if (width % 2 != 0 || height % 2 != 0) {
    throw PictureError("planar 4:2:0 pictures need an even width and height, not " +
                       SizeText(width, height));
  }
}

}  // namespace

RgbPicture BlankRgb(uint32_t width, uint32_t height) {
  CheckNotEmpty(width, height);
  return {width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
}

PlanarPicture BlankPlanar(uint32_t width, uint32_t height) {
  CheckNotEmpty(width, height);
  CheckEven(width, height);
  return {width, height, std::vector<uint8_t>(size_t{width} * height * 3 / 2)};
}

void CheckWhole(const RgbPicture& picture) {
  CheckNotEmpty(picture.width, picture.height);
  if (picture.pixels.size() != size_t{picture.width} * picture.height * 3) {
    throw PictureError("a " + SizeText(picture.width, picture.height) + " picture holds " +
                       std::to_string(picture.pixels.size()) + " bytes, not 3 a pixel");
  }
}

void CheckWhole(const PlanarPicture& picture) {
  CheckNotEmpty(picture.width, picture.height);
  CheckEven(picture.width, picture.height);
  if (picture.samples.size() != size_t{picture.width} * picture.height * 3 / 2) {
    throw PictureError("a " + SizeText(picture.width, picture.height) + " planar picture holds " +
                       std::to_string(picture.samples.size()) + " bytes, not 1.5 a pixel");
  }
}

}  // namespace ksv::picture
