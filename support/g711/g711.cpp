#include "support/g711/g711.h"

#include <algorithm>
#include <array>
#include <bit>

namespace ksv::g711 {
namespace {

constexpr int kMuLawBias = 0x84;  // 33 in the 14-bit scale, shifted to 16 bits
constexpr int kMuLawClip = 32635;

// The segment of a magnitude: how many times it doubles past `base`
// (0 below it), at most 7.
int Segment(int magnitude, int base) {
  if (magnitude < base) return 0;
  const int doublings = static_cast<int>(std::bit_width(static_cast<unsigned>(magnitude)) -
                                         std::bit_width(static_cast<unsigned>(base)));
  return std::min(7, doublings + 1);
}

int16_t ALawToLinear(uint8_t code) {
  const int bits = code ^ 0x55;
  const int segment = (bits >> 4) & 7;
  int magnitude = ((bits & 0x0F) << 4) + 8;  // the middle of the interval
  if (segment == 1) magnitude += 0x100;
  if (segment > 1) magnitude = (magnitude + 0x100) << (segment - 1);
  return static_cast<int16_t>((bits & 0x80) ? magnitude : -magnitude);
}

int16_t MuLawToLinear(uint8_t code) {
  const int bits = ~code & 0xFF;
  const int segment = (bits >> 4) & 7;
  const int magnitude = ((((bits & 0x0F) << 3) + kMuLawBias) << segment) - kMuLawBias;
  return static_cast<int16_t>((bits & 0x80) ? -magnitude : magnitude);
}

template <int16_t (*kDecode)(uint8_t)>
constexpr std::array<int16_t, 256> Table() {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[static_cast<size_t>(code)] = kDecode(static_cast<uint8_t>(code));
  return table;
}

const std::array<int16_t, 256> kALaw = Table<ALawToLinear>();
const std::array<int16_t, 256> kMuLaw = Table<MuLawToLinear>();

}  // namespace

uint8_t EncodeALaw(int16_t sample) {
  int value = sample >> 3;  // 13 bits
  uint8_t mask = 0xD5;      // positive: sign bit set, even bits inverted
  if (value < 0) {
    mask = 0x55;
    value = -value - 1;
  }
  const int segment = Segment(value, 32);
  const int mantissa = segment == 0 ? value >> 1 : (value >> segment) & 0x0F;
  return static_cast<uint8_t>((segment << 4 | mantissa) ^ mask);
}

int16_t DecodeALaw(uint8_t code) { return kALaw[code]; }

uint8_t EncodeMuLaw(int16_t sample) {
  int value = sample;
  uint8_t sign = 0;
  if (value < 0) {
    sign = 0x80;
    value = -value;
  }
  value = std::min(value, kMuLawClip) + kMuLawBias;
  // The bias puts every value at 0x84 or more: segment 0 is 0x84..0xFF.
  const int segment = Segment(value, 0x100);
  const int mantissa = (value >> (segment + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | segment << 4 | mantissa));
}

int16_t DecodeMuLaw(uint8_t code) { return kMuLaw[code]; }

void EncodeALaw(std::span<const int16_t> in, std::span<uint8_t> out) {
  for (size_t i = 0; i < in.size() && i < out.size(); ++i) out[i] = EncodeALaw(in[i]);
}

void DecodeALaw(std::span<const uint8_t> in, std::span<int16_t> out) {
  for (size_t i = 0; i < in.size() && i < out.size(); ++i) out[i] = kALaw[in[i]];
}

void EncodeMuLaw(std::span<const int16_t> in, std::span<uint8_t> out) {
  for (size_t i = 0; i < in.size() && i < out.size(); ++i) out[i] = EncodeMuLaw(in[i]);
}

void DecodeMuLaw(std::span<const uint8_t> in, std::span<int16_t> out) {
  for (size_t i = 0; i < in.size() && i < out.size(); ++i) out[i] = kMuLaw[in[i]];
}

}  // namespace ksv::g711
