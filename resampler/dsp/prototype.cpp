#include "resampler/dsp/prototype.h"

#include <array>
#include <cmath>
#include <numbers>

namespace ksv::resampler {
namespace {

// A Hamming-windowed sinc. The sinc's zero crossings lie 438.356 grid points
// apart, just under the 441 points of one sample at 8 kHz, so the stage's
// pass band ends a little above the lower rate's Nyquist frequency
// (0.5 / 0.99401 of it); the window spans all 9,601 taps.
constexpr double kZeroCrossingSpacing = 438.356;

std::array<float, kPrototypeHalf> BuildHalf() {
  std::array<float, kPrototypeHalf> half{};
  constexpr double pi = std::numbers::pi;
  for (int32_t k = 0; k < kPrototypeHalf; ++k) {
    const double distance = kPrototypeCentre - k;
    const double x = pi * distance / kZeroCrossingSpacing;
    const double sinc = distance == 0 ? 1.0 : std::sin(x) / x;
    const double window = 0.54 - 0.46 * std::cos(2.0 * pi * k / (kPrototypeTaps - 1));
    half[k] = static_cast<float>(sinc * window);
  }
  half[kPrototypeCentre] = 1.0f;
  return half;
}

const std::array<float, kPrototypeHalf>& Half() {
  static const std::array<float, kPrototypeHalf> half = BuildHalf();
  return half;
}

}  // namespace

std::span<const float> PrototypeHalf() { return Half(); }

float PrototypeTap(int32_t k) {
  return k < kPrototypeHalf ? Half()[k] : Half()[kPrototypeTaps - 1 - k];
}

}  // namespace ksv::resampler
