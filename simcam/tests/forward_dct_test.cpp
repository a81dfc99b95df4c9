#include "simcam/forward_dct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace ksv::simcam {
namespace {

// The defining double sum, evaluated directly for one coefficient.
double DirectCoefficient(const uint8_t* block, size_t stride, int u, int v) {
  const double cu = u == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
  const double cv = v == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
  double sum = 0.0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      sum += (block[y * stride + x] - 128.0) * std::cos((2 * x + 1) * u * std::numbers::pi / 16) *
             std::cos((2 * y + 1) * v * std::numbers::pi / 16);
    }
  }
  return 0.25 * cu * cv * sum;
}

TEST(ForwardDct, UniformBlockHasOnlyAnExactDcTerm) {
  for (int sample : {0, 127, 128, 133, 255}) {
    const std::vector<uint8_t> block(64, static_cast<uint8_t>(sample));
    DctBlock coefficients;
    ForwardDct(block.data(), 8, coefficients);
    EXPECT_EQ(coefficients[0], 8.0 * (sample - 128)) << sample;
    for (size_t i = 1; i < 64; ++i)
      EXPECT_NEAR(coefficients[i], 0.0, 1e-9) << sample << " at " << i;
  }
}

TEST(ForwardDct, MatchesTheDefiningSumInsideAWiderPlane) {
  // An 8 x 8 block at (8, 8) of a 24-sample-wide plane of noise.
  std::mt19937 random(7);
  std::vector<uint8_t> plane(24 * 24);
  for (uint8_t& sample : plane) sample = static_cast<uint8_t>(random());
  const uint8_t* block = plane.data() + 8 * 24 + 8;
  DctBlock coefficients;
  ForwardDct(block, 24, coefficients);
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      EXPECT_NEAR(coefficients[static_cast<size_t>(v * 8 + u)], DirectCoefficient(block, 24, u, v),
                  1e-9)
          << "u=" << u << " v=" << v;
    }
  }
}

TEST(ForwardDct, PreservesEnergyAsAnOrthonormalTransform) {
  std::mt19937 random(11);
  std::vector<uint8_t> block(64);
  for (uint8_t& sample : block) sample = static_cast<uint8_t>(random());
  DctBlock coefficients;
  ForwardDct(block.data(), 8, coefficients);
  double sampleEnergy = 0.0, coefficientEnergy = 0.0;
  for (size_t i = 0; i < 64; ++i) {
    sampleEnergy += (block[i] - 128.0) * (block[i] - 128.0);
    coefficientEnergy += coefficients[i] * coefficients[i];
  }
  EXPECT_NEAR(coefficientEnergy, sampleEnergy, 1e-6 * sampleEnergy);
}

}  // namespace
}  // namespace ksv::simcam
