#include "apps/ksvcam/picture_writer.h"
#include "support/byte_order.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

namespace ksv::ksvcam {
namespace {

constexpr uint32_t kBmpHeaderBytes = 14 + 40;  // file header + BITMAPINFOHEADER
constexpr uint32_t kPixelsPerMetre72Dpi = 2835;

void CheckPixelCount(const simcam::RgbPicture& picture) {
  if (picture.width == 0 || picture.height == 0 ||
      picture.pixels.size() != size_t{picture.width} * picture.height * 3) {
    throw std::invalid_argument("picture size and pixel count disagree");
  }
}

}  // namespace

std::optional<PictureFileKind> PictureFileKindOf(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".bmp") return PictureFileKind::kBmp;
  if (extension == ".png") return PictureFileKind::kPng;
  if (extension == ".i420" || extension == ".yuv") return PictureFileKind::kRawPlanar;
  return std::nullopt;
}

std::vector<uint8_t> EncodeBmp(const simcam::RgbPicture& picture) {
  CheckPixelCount(picture);
  const uint32_t rowBytes = (picture.width * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * picture.height;

  std::vector<uint8_t> out;
  out.reserve(kBmpHeaderBytes + imageBytes);
  out.push_back('B');
  out.push_back('M');
  support::AppendLe32(out, kBmpHeaderBytes + imageBytes);  // file size
  support::AppendLe32(out, 0);                             // reserved
  support::AppendLe32(out, kBmpHeaderBytes);               // offset of the pixels
  support::AppendLe32(out, 40);                            // BITMAPINFOHEADER size
  support::AppendLe32(out, picture.width);
  support::AppendLe32(out, picture.height);  // positive: rows stored bottom-up
  support::AppendLe16(out, 1);               // planes
  support::AppendLe16(out, 24);              // bits per pixel
  support::AppendLe32(out, 0);               // BI_RGB, uncompressed
  support::AppendLe32(out, imageBytes);
  support::AppendLe32(out, kPixelsPerMetre72Dpi);
  support::AppendLe32(out, kPixelsPerMetre72Dpi);
  support::AppendLe32(out, 0);  // colours used
  support::AppendLe32(out, 0);  // important colours

  for (uint32_t row = picture.height; row-- > 0;) {
    const uint8_t* pixel = picture.pixels.data() + size_t{row} * picture.width * 3;
    for (uint32_t x = 0; x < picture.width; ++x, pixel += 3) {
      out.push_back(pixel[2]);
      out.push_back(pixel[1]);
      out.push_back(pixel[0]);
    }
    out.resize(out.size() + (rowBytes - picture.width * 3), 0);
  }
  return out;
}

std::vector<uint8_t> EncodePng(const simcam::RgbPicture& picture) {
  CheckPixelCount(picture);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGB;

  // The worst case of an incompressible picture, so one pass is enough.
  std::vector<uint8_t> out(PNG_IMAGE_PNG_SIZE_MAX(image));
  png_alloc_size_t written = out.size();
  if (!png_image_write_to_memory(&image, out.data(), &written, 0, picture.pixels.data(), 0,
                                 nullptr)) {
    const std::string reason = image.message;
    png_image_free(&image);
    throw std::runtime_error("cannot encode PNG: " + reason);
  }
  out.resize(written);
  return out;
}

}  // namespace ksv::ksvcam
