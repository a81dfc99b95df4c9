// The forward discrete cosine transform of one 8 x 8 block, as the JPEG
// baseline defines it (T.81 A.3.3) on samples level-shifted by -128:
//   F(u,v) = 1/4 C(u) C(v) sum_x sum_y (s(x,y) - 128) cos((2x+1)u pi/16) cos((2y+1)v pi/16)
// with C(0) = 1/sqrt(2) and C(k) = 1 otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ksv::simcam {

// Coefficients in natural (row-major) order: index v * 8 + u, v the vertical
// frequency.
using DctBlock = std::array<double, 64>;

// Transforms the block whose top-left sample is `topLeft` in a plane of
// `stride` bytes per row. The DC term is exact (sum / 8), so quantisation of
// the DC rounds exactly as an integer encoder does.
void ForwardDct(const uint8_t* topLeft, size_t stride, DctBlock& coefficients);

}  // namespace ksv::simcam
