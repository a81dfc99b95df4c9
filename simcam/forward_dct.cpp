#include "simcam/forward_dct.h"

#include <cmath>
#include <numbers>

namespace ksv::simcam {

namespace {

// cos((2x+1) k pi / 16) for frequency k and sample x, unscaled, so that
// frequency 0 is exactly 1 and the DC sum stays exact.
struct CosineTable {
  std::array<std::array<double, 8>, 8> value{};
  CosineTable() {
    for (int k = 0; k < 8; ++k) {
      for (int x = 0; x < 8; ++x) value[k][x] = std::cos((2 * x + 1) * k * std::numbers::pi / 16.0);
    }
  }
};

// 1/4 C(u) C(v) for each natural position; (0,0) is exactly 1/8.
struct ScaleTable {
  std::array<double, 64> value{};
  ScaleTable() {
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        const double cu = u == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
        const double cv = v == 0 ? (1.0 / std::numbers::sqrt2) : 1.0;
        value[v * 8 + u] = (u == 0 && v == 0) ? 0.125 : 0.25 * cu * cv;
      }
    }
  }
};

const CosineTable kCosine;
const ScaleTable kScale;

}  // namespace

void ForwardDct(const uint8_t* topLeft, size_t stride, DctBlock& coefficients) {
  // Rows first: rowSums[y][u] = sum_x (s(x,y) - 128) cos((2x+1)u pi/16).
  std::array<std::array<double, 8>, 8> rowSums;
  for (size_t y = 0; y < 8; ++y) {
    const uint8_t* row = topLeft + y * stride;
    std::array<double, 8> shifted;
    for (size_t x = 0; x < 8; ++x) shifted[x] = static_cast<double>(row[x]) - 128.0;
    for (size_t u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (size_t x = 0; x < 8; ++x) sum += shifted[x] * kCosine.value[u][x];
      rowSums[y][u] = sum;
    }
  }
  // Then columns, and the normalisation.
  for (size_t v = 0; v < 8; ++v) {
    for (size_t u = 0; u < 8; ++u) {
      double sum = 0.0;
      for (size_t y = 0; y < 8; ++y) sum += rowSums[y][u] * kCosine.value[v][y];
      coefficients[v * 8 + u] = sum * kScale.value[v * 8 + u];
    }
  }
}

}  // namespace ksv::simcam
