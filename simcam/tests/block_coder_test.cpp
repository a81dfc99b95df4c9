#include "simcam/block_coder.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "codec/annex_k.h"

namespace ksv::simcam {
namespace {

// The bytes of one block coded on its own, padded with 1 bits.
std::vector<uint8_t> CodeBlock(const BlockEntropyCoder& coder, const ZigZagBlock& block,
                               int& predictor) {
  std::vector<uint8_t> bytes;
  BitWriter bits(bytes);
  coder.Encode(block, predictor, bits);
  bits.PadWithOnes();
  return bytes;
}

class BlockEntropyCoderTest : public ::testing::Test {
 protected:
  const BlockEntropyCoder luma_{codec::kLuminanceDc, codec::kLuminanceAc};
  const BlockEntropyCoder chroma_{codec::kChrominanceDc, codec::kChrominanceAc};
  ZigZagBlock block_{};
  int predictor_ = 0;
};

TEST_F(BlockEntropyCoderTest, CodesDcDifferenceAndOneAcCoefficient) {
  // DC +5: size 3 "100", bits "101". Coefficient 3 = -3 after two zeros:
  // symbol 0x22 "11111001", bits "00" (one's complement of 3). EOB "1010".
  // 100 101 11111001 00 1010 + 1111 padding.
  block_[0] = 5;
  block_[3] = -3;
  EXPECT_EQ(CodeBlock(luma_, block_, predictor_), (std::vector<uint8_t>{0x97, 0xE4, 0xAF}));
  EXPECT_EQ(predictor_, 5);
}

TEST_F(BlockEntropyCoderTest, CodesNegativeDcDifferenceFromThePredictor) {
  // Chrominance, predictor 10, DC 3: difference -7, size 3 "110", bits
  // "000"; chrominance EOB "00". Exactly one byte, no padding.
  predictor_ = 10;
  block_[0] = 3;
  EXPECT_EQ(CodeBlock(chroma_, block_, predictor_), (std::vector<uint8_t>{0xC0}));
  EXPECT_EQ(predictor_, 3);
}

TEST_F(BlockEntropyCoderTest, CodesSixteenZerosAsZrl) {
  // DC 0 "00", 19 zeros then +1: ZRL "11111111001", symbol 0x31 "111010",
  // bit "1", EOB "1010": 24 bits.
  block_[20] = 1;
  EXPECT_EQ(CodeBlock(luma_, block_, predictor_), (std::vector<uint8_t>{0x3F, 0xCF, 0x5A}));
}

TEST_F(BlockEntropyCoderTest, OmitsEobWhenTheLastCoefficientIsSet) {
  // DC "00", three ZRL, symbol 0xE1 "1111111111101011", bit "0" for -1, no
  // EOB: 52 bits, then four padding 1s.
  block_[63] = -1;
  EXPECT_EQ(CodeBlock(luma_, block_, predictor_),
            (std::vector<uint8_t>{0x3F, 0xCF, 0xF9, 0xFF, 0x3F, 0xFD, 0x6F}));
}

TEST(BlockQuantiser, RoundsHalvesAwayFromZeroIntoZigZagOrder) {
  codec::QuantTable table;
  table.fill(2);
  table[8] = 4;
  DctBlock coefficients{};
  coefficients[0] = 5.0;    // 2.5 -> 3
  coefficients[1] = -5.0;   // -2.5 -> -3, zig-zag 1
  coefficients[8] = 9.9;    // 2.475 -> 2 with q = 4, zig-zag 2
  coefficients[63] = -2.9;  // -1.45 -> -1, zig-zag 63
  coefficients[9] = 0.99;   // 0.495 -> 0, zig-zag 4
  ZigZagBlock quantised;
  BlockQuantiser(table).Quantise(coefficients, quantised);
  ZigZagBlock expected{};
  expected[0] = 3;
  expected[1] = -3;
  expected[2] = 2;
  expected[63] = -1;
  EXPECT_EQ(quantised, expected);
}

TEST(BlockQuantiser, ClampsToTheMagnitudesBaselineCodingCarries) {
  codec::QuantTable ones;
  ones.fill(1);
  DctBlock coefficients{};
  coefficients[0] = -5000.0;
  coefficients[1] = 5000.0;
  ZigZagBlock quantised;
  BlockQuantiser(ones).Quantise(coefficients, quantised);
  EXPECT_EQ(quantised[0], -2047);
  EXPECT_EQ(quantised[1], 1023);
}

TEST(BlockQuantiser, RefusesAZeroEntry) {
  codec::QuantTable table;
  table.fill(3);
  table[17] = 0;
  EXPECT_THROW(BlockQuantiser{table}, std::invalid_argument);
}

TEST(BitWriter, WritesMostSignificantBitFirstAndPadsWithOnes) {
  std::vector<uint8_t> bytes;
  BitWriter bits(bytes);
  bits.Put(0b101, 3);
  bits.Put(0xFFFF0000u, 16);  // only the low 16 bits count
  bits.Put(0, 0);
  bits.Put(0b0, 1);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xA0, 0x00}));
  bits.PadWithOnes();
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xA0, 0x00, 0x0F}));
  bits.PadWithOnes();  // already whole: nothing more
  EXPECT_EQ(bytes.size(), 3u);
}

}  // namespace
}  // namespace ksv::simcam
