#include "simcam/adpcm_encoder.h"

#include <algorithm>
#include <array>

namespace ksv::simcam {

namespace {

constexpr std::array<int, 16> kIndexChange = {-1, -1, -1, -1, 2, 4, 6, 8,
                                              -1, -1, -1, -1, 2, 4, 6, 8};

constexpr std::array<int, 89> kStepSize = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// The coder's state, updated exactly as the decoder updates its own.
struct AdpcmState {
  int predictor = 0;
  int index = 0;

  uint8_t Encode(int sample) {
    const int step = kStepSize[static_cast<size_t>(index)];
    int difference = sample - predictor;
    uint8_t code = 0;
    if (difference < 0) {
      code = 8;
      difference = -difference;
    }
    if (difference >= step) {
      code |= 4;
      difference -= step;
    }
    if (difference >= step >> 1) {
      code |= 2;
      difference -= step >> 1;
    }
    if (difference >= step >> 2) code |= 1;
    Apply(code, step);
    return code;
  }

  void Apply(uint8_t code, int step) {
    int delta = step >> 3;
    if (code & 4) delta += step;
    if (code & 2) delta += step >> 1;
    if (code & 1) delta += step >> 2;
    if (code & 8) delta = -delta;
    predictor = std::clamp(predictor + delta, -32768, 32767);
    index = std::clamp(index + kIndexChange[code], 0, 88);
  }
};

}  // namespace

std::vector<uint8_t> EncodeAdpcm(std::span<const int16_t> samples) {
  const size_t blocks = (samples.size() + kAdpcmBlockSamples - 1) / kAdpcmBlockSamples;
  std::vector<uint8_t> out;
  out.reserve(blocks * kAdpcmBlockBytes);
  AdpcmState state;
  for (size_t b = 0; b < blocks; ++b) {
    auto sampleAt = [&](size_t i) -> int {
      const size_t at = b * kAdpcmBlockSamples + i;
      return at < samples.size() ? samples[at] : 0;
    };
    // The header keeps only the predictor's high byte: round to it.
    const int high = std::clamp((sampleAt(0) + 128) >> 8, -128, 127);
    state.predictor = high * 256;
    out.push_back(static_cast<uint8_t>(high + 128));
    out.push_back(static_cast<uint8_t>(state.index));
    for (size_t i = 0; i < kAdpcmBlockSamples; i += 2) {
      const uint8_t low = state.Encode(sampleAt(i));
      const uint8_t highNibble = state.Encode(sampleAt(i + 1));
      out.push_back(static_cast<uint8_t>(low | highNibble << 4));
    }
  }
  return out;
}

}  // namespace ksv::simcam
