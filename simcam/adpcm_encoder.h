// The camera's clip sound at 8,000 Hz: IMA ADPCM in blocks of 258 bytes.
//
// Block: byte 0 the starting predictor's high byte plus 128 (predictor =
// (byte 0 - 128) x 256), byte 1 the starting step index (0 to 88), then 256
// bytes of two 4-bit codes each, low nibble first: 512 samples. The starting
// predictor itself is not a sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ksv::simcam {

inline constexpr size_t kAdpcmBlockBytes = 258;
inline constexpr size_t kAdpcmBlockSamples = 512;

// Encodes 16-bit samples into whole blocks (the block coder of
// support/adpcm); the last block is completed with silence. Each block starts from its first sample, rounded to the
// header's precision, and from the step index the previous block ended with.
std::vector<uint8_t> EncodeAdpcm(std::span<const int16_t> samples);

}  // namespace ksv::simcam
