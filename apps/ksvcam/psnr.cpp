#include "apps/ksvcam/psnr.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace ksv::ksvcam {

double Psnr(std::span<const uint8_t> reference, std::span<const uint8_t> decoded) {
  if (reference.size() != decoded.size() || reference.empty()) {
    throw std::invalid_argument("PSNR needs two pictures of the same size");
  }
  uint64_t squaredError = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const int64_t difference = int64_t{reference[i]} - int64_t{decoded[i]};
    squaredError += static_cast<uint64_t>(difference * difference);
  }
  if (squaredError == 0) return std::numeric_limits<double>::infinity();
  const double meanSquaredError =
      static_cast<double>(squaredError) / static_cast<double>(reference.size());
  return 10.0 * std::log10(255.0 * 255.0 / meanSquaredError);
}

}  // namespace ksv::ksvcam
