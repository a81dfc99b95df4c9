// PNG input through libpng's simplified API, which converts any bit depth and
// colour type and reports errors without setjmp in our code.
#include <png.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "simcam/picture.h"

namespace ksv::simcam {

namespace {

// Frees libpng's read state on every exit path, including exceptions.
struct ImageGuard {
  png_image* image;
  ~ImageGuard() { png_image_free(image); }
};

}  // namespace

RgbPicture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ImageGuard guard{&image};
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    throw std::runtime_error("cannot read PNG file '" + path + "': " + image.message);
  }
  image.format = PNG_FORMAT_RGB;
  RgbPicture picture{image.width, image.height, {}};
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  // Without a background colour, transparent pixels are composited onto the
  // zero-filled buffer, i.e. onto black.
  if (png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) == 0) {
    throw std::runtime_error("cannot decode PNG file '" + path + "': " + image.message);
  }
  return picture;
}

}  // namespace ksv::simcam
