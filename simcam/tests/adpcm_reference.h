// The ADPCM block decoder as the camera access library runs it, written
// from the block layout for the tests: predictor from byte 0, step index
// from byte 1, then 256 bytes of codes, low nibble first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace ksv::simcam::testing {

// Every whole 258-byte block of `blocks`, 512 samples each.
inline std::vector<int16_t> DecodeAdpcm(std::span<const uint8_t> blocks) {
  static const int kIndexChange[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
  static const int kStep[89] = {
      7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
      25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
      88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
      307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
      1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
      3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
      12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
  std::vector<int16_t> samples;
  for (size_t at = 0; at + 258 <= blocks.size(); at += 258) {
    const uint8_t* block = &blocks[at];
    int predictor = (block[0] - 128) * 256;
    int index = std::min<int>(block[1], 88);
    for (int i = 0; i < 256; ++i) {
      for (int nibble : {block[2 + i] & 0x0F, block[2 + i] >> 4}) {
        const int step = kStep[index];
        int diff = step >> 3;
        if (nibble & 4) diff += step;
        if (nibble & 2) diff += step / 2;
        if (nibble & 1) diff += step / 4;
        if (nibble & 8) diff = -diff;
        predictor = std::clamp(predictor + diff, -32768, 32767);
        index = std::clamp(index + kIndexChange[nibble], 0, 88);
        samples.push_back(static_cast<int16_t>(predictor));
      }
    }
  }
  return samples;
}

}  // namespace ksv::simcam::testing
