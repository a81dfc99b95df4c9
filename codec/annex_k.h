// The fixed tables of the camera's compression: the typical quantisation and
// Huffman tables of ITU-T T.81 Annex K and the zig-zag order. The camera, the
// decoder and the simulated camera's encoder all use these same tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ksv::codec {

// Table K.1 (luminance) and K.2 (chrominance), natural (row-major) order.
extern const std::array<uint8_t, 64> kAnnexKLuminanceQuant;
extern const std::array<uint8_t, 64> kAnnexKChrominanceQuant;

// Natural position of the k-th coefficient in zig-zag order. Entries 64..127
// are all 64, a spare slot after the block, so that a run that overruns the
// block stores nowhere that counts before the overrun is detected.
extern const std::array<uint8_t, 128> kZigZag;

// A Huffman table as T.81 states it: the number of codes of each length 1..16
// and the symbols in order of increasing code length.
struct HuffmanSpec {
  std::array<uint8_t, 16> counts;
  std::span<const uint8_t> symbols;
};

extern const HuffmanSpec kLuminanceDc;    // K.3
extern const HuffmanSpec kChrominanceDc;  // K.4
extern const HuffmanSpec kLuminanceAc;    // K.5
extern const HuffmanSpec kChrominanceAc;  // K.6

// The canonical code of every symbol of a table (T.81 Annex C).
struct HuffmanCode {
  uint16_t code = 0;
  uint8_t length = 0;  // 0: the symbol has no code
};
std::array<HuffmanCode, 256> CanonicalCodes(const HuffmanSpec& spec);

// First canonical code of each length 1..16 (index length-1), -1 where the
// table has no code of that length.
std::array<int32_t, 16> FirstCodes(const HuffmanSpec& spec);

}  // namespace ksv::codec
