#include "simcam/block_coder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace ksv::simcam {

namespace {

constexpr uint8_t kEndOfBlock = 0x00;
constexpr uint8_t kZeroRunLength = 0xF0;  // 16 zeros

void PutCode(const codec::HuffmanCode& code, BitWriter& out) {
  // A symbol without a code would make a stream no decoder can follow.
  if (code.length == 0) throw std::logic_error("Huffman table has no code for a symbol");
  out.Put(code.code, code.length);
}

}  // namespace

BlockQuantiser::BlockQuantiser(const codec::QuantTable& table) {
  for (size_t i = 0; i < 64; ++i) {
    if (table[i] == 0) throw std::invalid_argument("quantisation table entry is 0");
    divisors_[i] = table[i];
  }
}

void BlockQuantiser::Quantise(const DctBlock& coefficients, ZigZagBlock& quantised) const {
  for (size_t k = 0; k < 64; ++k) {
    const size_t natural = codec::kZigZag[k];
    const double limit = k == 0 ? 2047.0 : 1023.0;
    const double value = std::round(coefficients[natural] / divisors_[natural]);
    quantised[k] = static_cast<int16_t>(std::clamp(value, -limit, limit));
  }
}

BlockEntropyCoder::BlockEntropyCoder(const codec::HuffmanSpec& dc, const codec::HuffmanSpec& ac)
    : dc_(codec::CanonicalCodes(dc)), ac_(codec::CanonicalCodes(ac)) {}

// Codes symbol (symbolHigh << 4 | size) and then the value's `size` magnitude
// bits: the value itself if positive, value - 1 in two's complement (the
// one's complement of |value|) if negative, as the decoder's EXTEND expects.
void BlockEntropyCoder::PutValue(uint8_t symbolHigh, int value,
                                 const std::array<codec::HuffmanCode, 256>& codes,
                                 BitWriter& out) const {
  const auto magnitude = static_cast<unsigned>(value < 0 ? -value : value);
  const auto size = static_cast<unsigned>(std::bit_width(magnitude));
  PutCode(codes[(symbolHigh << 4) | size], out);
  const int bits = value < 0 ? value - 1 : value;
  out.Put(static_cast<uint32_t>(bits), size);
}

void BlockEntropyCoder::Encode(const ZigZagBlock& block, int& predictor, BitWriter& out) const {
  const int dc = block[0];
  PutValue(0, dc - predictor, dc_, out);
  predictor = dc;

  unsigned run = 0;
  for (size_t k = 1; k < 64; ++k) {
    const int value = block[k];
    if (value == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) PutCode(ac_[kZeroRunLength], out);
    PutValue(static_cast<uint8_t>(run), value, ac_, out);
    run = 0;
  }
  if (run > 0) PutCode(ac_[kEndOfBlock], out);
}

}  // namespace ksv::simcam
