// G.711 companding: 16-bit linear samples to 8-bit A-law and mu-law codes
// and back, as the recommendation defines them (A-law: 13-bit magnitude,
// even bits inverted, sign bit set for positive values; mu-law: 14-bit
// magnitude with a bias of 33, every bit inverted). Decoding is a 256-entry
// table; encoding keeps the top 13 or 14 bits and rounds toward zero, as
// the recommendation's encoder does.
#pragma once

#include <cstdint>
#include <span>

namespace ksv::g711 {

uint8_t EncodeALaw(int16_t sample);
int16_t DecodeALaw(uint8_t code);
uint8_t EncodeMuLaw(int16_t sample);
int16_t DecodeMuLaw(uint8_t code);

// Whole buffers: `out` must be at least as long as `in`.
void EncodeALaw(std::span<const int16_t> in, std::span<uint8_t> out);
void DecodeALaw(std::span<const uint8_t> in, std::span<int16_t> out);
void EncodeMuLaw(std::span<const int16_t> in, std::span<uint8_t> out);
void DecodeMuLaw(std::span<const uint8_t> in, std::span<int16_t> out);

}  // namespace ksv::g711
