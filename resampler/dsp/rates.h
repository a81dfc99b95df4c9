// Sample rates as the converter sees them: rounded up onto a coarse grid and
// sorted into three bands of one octave each. Every rate the converter works
// with divides, after the band's divisor, the 3,528,000-point grid of the
// polyphase prototype closely enough for the polyphase factors to be whole
// numbers.
#pragma once

#include <cstdint>

namespace ksv::resampler {

// The rates the converter accepts on either side (after rounding, the same).
inline constexpr int32_t kMinRate = 6025;
inline constexpr int32_t kMaxRate = 48000;

// Band 1: 6001..12000 Hz, band 2: 12001..24000 Hz, band 3: 24001 Hz and up.
// Rates below 6001 Hz are in band 0 (not converted, divisor 4).
int BandOf(int32_t hz);

// Rounds a rate up: to a multiple of 25 Hz in band 1, of 50 Hz in band 2,
// of 100 Hz elsewhere (11025 and 22050 stay as they are).
int32_t RoundRate(int32_t hz);

// The divisor that brings a rate of the band into 6001..12000 Hz:
// 1, 2 or 4 (4 also below 6001 Hz).
int32_t BandDivisor(int32_t hz);

// True when the rate is one the converter takes: kMinRate..kMaxRate.
bool IsSupportedRate(int32_t hz);

}  // namespace ksv::resampler
