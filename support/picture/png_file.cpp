// libpng's simplified API converts every bit depth and colour type and
// reports errors without setjmp in our code.
#include "support/picture/png_file.h"

#include <png.h>

namespace ksv::picture {
namespace {

// Frees libpng's state on every exit path, including exceptions.
struct ImageGuard {
  png_image* image;
  ~ImageGuard() { png_image_free(image); }
};

}  // namespace

RgbPicture DecodePng(std::span<const uint8_t> file, const std::string& name) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ImageGuard guard{&image};
  if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) {
    throw PictureError(name, std::string("not a PNG file (libpng: ") + image.message + ")");
  }
  if (image.width == 0 || image.height == 0 || uint64_t{image.width} * image.height > kMaxPixels) {
    throw PictureError(name, "a PNG picture of " + std::to_string(image.width) + "x" +
                                 std::to_string(image.height) + " pixels, larger than this reads");
  }
  image.format = PNG_FORMAT_RGB;
  RgbPicture picture = BlankRgb(image.width, image.height);
  // Without a background colour, transparent pixels are composited onto the
  // zero-filled buffer, that is onto black.
  if (png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) == 0) {
    throw PictureError(name, std::string("damaged PNG data (libpng: ") + image.message + ")");
  }
  return picture;
}

std::vector<uint8_t> EncodePng(const RgbPicture& picture) {
  CheckWhole(picture);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGB;
  ImageGuard guard{&image};
  // The worst case of an incompressible picture, so one pass is enough.
  std::vector<uint8_t> out(PNG_IMAGE_PNG_SIZE_MAX(image));
  png_alloc_size_t written = out.size();
  if (png_image_write_to_memory(&image, out.data(), &written, 0, picture.pixels.data(), 0,
                                nullptr) == 0) {
    throw PictureError(std::string("cannot encode PNG: ") + image.message);
  }
  out.resize(written);
  return out;
}

}  // namespace ksv::picture
