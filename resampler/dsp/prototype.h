// The low-pass prototype of the polyphase stage: a symmetric windowed sinc of
// 9,601 taps on a grid of 3,528,000 points per second, centre 1.0, built once
// (on first use) and kept as its first half, 4,801 values from the outermost
// tap to the centre.
#pragma once

#include <cstdint>
#include <span>

namespace ksv::resampler {

inline constexpr int32_t kPrototypeGrid = 3528000;   // grid points per second
inline constexpr int32_t kPrototypeTaps = 9601;
inline constexpr int32_t kPrototypeHalf = 4801;      // stored values, index 4800 = centre
inline constexpr int32_t kPrototypeCentre = 4800;

// The stored half: index 0 is the outermost tap, index 4800 the centre.
std::span<const float> PrototypeHalf();

// Tap k of the whole prototype, 0 <= k < 9601 (k >= 4801 reads the mirror).
float PrototypeTap(int32_t k);

}  // namespace ksv::resampler
