// Picture comparisons for tests.
#pragma once

#include <cstdint>
#include <vector>

namespace ksv::testing {

// Peak signal-to-noise ratio in dB of two sample arrays of equal size: 99 for
// identical ones, 0 when the sizes differ or both are empty.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace ksv::testing
