#include "support/picture/psnr.h"

#include <cmath>
#include <limits>
#include <string>

namespace ksv::picture {
namespace {

template <typename Picture>
void CheckSameSize(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) {
    throw PictureError("PSNR of a " + std::to_string(a.width) + "x" + std::to_string(a.height) +
                       " picture against a " + std::to_string(b.width) + "x" +
                       std::to_string(b.height) + " one");
  }
}

}  // namespace

double Psnr(std::span<const uint8_t> reference, std::span<const uint8_t> decoded) {
  if (reference.size() != decoded.size() || reference.empty()) {
    throw PictureError("PSNR needs two pictures of the same size, not " +
                       std::to_string(reference.size()) + " and " + std::to_string(decoded.size()) +
                       " samples");
  }
  uint64_t squaredError = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const int32_t difference = int32_t{reference[i]} - int32_t{decoded[i]};
    squaredError += static_cast<uint64_t>(difference * difference);
  }
  if (squaredError == 0) return std::numeric_limits<double>::infinity();
  const double meanSquaredError =
      static_cast<double>(squaredError) / static_cast<double>(reference.size());
  return 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

double Psnr(const RgbPicture& reference, const RgbPicture& decoded) {
  CheckSameSize(reference, decoded);
  return Psnr(reference.pixels, decoded.pixels);
}

double Psnr(const PlanarPicture& reference, const PlanarPicture& decoded) {
  CheckSameSize(reference, decoded);
  return Psnr(reference.samples, decoded.samples);
}

}  // namespace ksv::picture
