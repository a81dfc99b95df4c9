// The ten gamma curves the driver applies to the luma plane.
#pragma once

#include <array>
#include <cstdint>

namespace ksv::codec {

inline constexpr uint32_t kGammaLevels = 10;

// kGammaTables[L][x] = floor(255 * (x / 255) ^ (1 / (1 + 0.2 L))); level 0 is
// the identity and leaves the picture unchanged.
extern const std::array<std::array<uint8_t, 256>, kGammaLevels> kGammaTables;

}  // namespace ksv::codec
