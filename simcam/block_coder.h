// Quantisation and baseline Huffman coding of single 8 x 8 blocks.
#pragma once

#include <array>
#include <cstdint>

#include "codec/annex_k.h"
#include "codec/quant_tables.h"
#include "simcam/bit_writer.h"
#include "simcam/forward_dct.h"

namespace ksv::simcam {

// Quantised coefficients in zig-zag order: entry k belongs to natural
// position codec::kZigZag[k].
using ZigZagBlock = std::array<int16_t, 64>;

class BlockQuantiser {
 public:
  // Throws std::invalid_argument if an entry is 0.
  explicit BlockQuantiser(const codec::QuantTable& table);

  // round(F / q), halves away from zero, clamped to the magnitudes baseline
  // coding can carry (DC 2047, AC 1023).
  void Quantise(const DctBlock& coefficients, ZigZagBlock& quantised) const;

 private:
  std::array<double, 64> divisors_{};  // natural order
};

class BlockEntropyCoder {
 public:
  BlockEntropyCoder(const codec::HuffmanSpec& dc, const codec::HuffmanSpec& ac);

  // Codes the DC as its difference from `predictor` (then sets the predictor
  // to this block's DC), the AC as (run, size) symbols with ZRL for 16 zeros,
  // and EOB unless coefficient 63 is non-zero.
  void Encode(const ZigZagBlock& block, int& predictor, BitWriter& out) const;

 private:
  void PutValue(uint8_t symbolHigh, int value, const std::array<codec::HuffmanCode, 256>& codes,
                BitWriter& out) const;

  std::array<codec::HuffmanCode, 256> dc_;
  std::array<codec::HuffmanCode, 256> ac_;
};

}  // namespace ksv::simcam
