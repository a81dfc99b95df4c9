// The 16-bit inverse transform: hand-worked blocks, and the SIMD forms (one
// block, two at once) against the scalar form on random blocks, overflowing
// ones included.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "codec/inverse_transform.h"

namespace ksv::codec {
namespace {

using Block = std::array<int16_t, 64>;
using Samples = std::array<uint8_t, 64>;

Block Ones() {
  Block m{};
  m.fill(1);
  return m;
}

Samples Transform(InverseTransformFn fn, Block coefficients, const Block& multipliers) {
  Samples out{};
  fn(coefficients.data(), multipliers.data(), out.data(), 8);
  return out;
}

std::vector<InverseTransformFn> AllForms() {
  std::vector<InverseTransformFn> forms = {InverseTransformScalar};
  if (InverseTransformSimd) forms.push_back(InverseTransformSimd);
  return forms;
}

TEST(InverseTransform, DcAloneGivesOneSampleEverywhere) {
  Block c{};
  c[0] = 256;  // (256 >> 5) + 128
  for (auto fn : AllForms()) {
    Samples s = Transform(fn, c, Ones());
    for (uint8_t v : s) ASSERT_EQ(v, 136);
  }
  EXPECT_EQ(DcOnlySample(256, 1), 136);
  EXPECT_EQ(DcOnlySample(-8, 100), 103);   // (-800 >> 5) + 128
  EXPECT_EQ(DcOnlySample(-8, 600), 0);     // saturates low
  EXPECT_EQ(DcOnlySample(400, 20), 255);   // saturates high
  EXPECT_EQ(DcOnlySample(-33, 1), 126);    // -33 >> 5 is -2 (arithmetic)
}

TEST(InverseTransform, FirstHorizontalFrequencyWorkedByHand) {
  // s1 = 1024 in row 0: the column pass copies it down column 1; each row
  // pass then gives 1024, 868, 580, 204, -204, -580, -868, -1024, which
  // descale ((w >> 5) + 128) to the values below.
  Block c{};
  c[1] = 1024;
  const std::array<uint8_t, 8> row = {160, 155, 146, 134, 121, 109, 100, 96};
  for (auto fn : AllForms()) {
    Samples s = Transform(fn, c, Ones());
    for (int r = 0; r < 8; ++r)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(s[static_cast<size_t>(r * 8 + x)], row[static_cast<size_t>(x)]) << r << "," << x;
  }
}

TEST(InverseTransform, DequantisationKeepsTheLowSixteenBits) {
  Block c{}, m{};
  m.fill(1);
  c[0] = 300;
  m[0] = 300;  // 90000 wraps to 24464; (24464 >> 5) + 128 saturates to 255
  for (auto fn : AllForms()) EXPECT_EQ(Transform(fn, c, m)[0], 255);
  c[0] = 220;  // 66000 wraps to 464 -> (464 >> 5) + 128 = 142
  m[0] = 300;
  for (auto fn : AllForms()) EXPECT_EQ(Transform(fn, c, m)[0], 142);
}

TEST(InverseTransform, LeavesTheCoefficientsCleared) {
  for (auto fn : AllForms()) {
    Block c{};
    for (size_t i = 0; i < 64; ++i) c[i] = static_cast<int16_t>(i * 7 - 100);
    Block m = Ones();
    Samples s{};
    fn(c.data(), m.data(), s.data(), 8);
    for (int16_t v : c) ASSERT_EQ(v, 0);
  }
}

TEST(InverseTransform, WritesRowsAtTheGivenStride) {
  Block c{};
  c[0] = 256;
  std::array<uint8_t, 8 * 20> out{};
  for (auto fn : AllForms()) {
    out.fill(7);
    Block copy = c;
    fn(copy.data(), Ones().data(), out.data(), 20);
    for (int r = 0; r < 8; ++r)
      for (int x = 0; x < 20; ++x) ASSERT_EQ(out[static_cast<size_t>(r * 20 + x)], x < 8 ? 136 : 7);
  }
}

TEST(InverseTransform, SimdAndScalarFormsAgreeOnRandomBlocks) {
  if (!InverseTransformSimd) GTEST_SKIP() << "no SIMD form in this build";
  Block previous{};  // the pair form takes each block with the one before
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> any(-32768, 32767);
  std::uniform_int_distribution<int> small(-1024, 1023);
  std::uniform_int_distribution<int> multiplier(0, 2000);
  std::uniform_int_distribution<int> density(0, 3);
  for (int trial = 0; trial < 200000; ++trial) {
    Block c{}, m{};
    int kind = trial % 4;  // realistic, sparse, overflowing, extreme
    for (size_t i = 0; i < 64; ++i) {
      switch (kind) {
        case 0: c[i] = static_cast<int16_t>(small(rng) >> (i / 8)); m[i] = static_cast<int16_t>(multiplier(rng) / 8); break;
        case 1: c[i] = density(rng) == 0 ? static_cast<int16_t>(small(rng)) : 0; m[i] = static_cast<int16_t>(multiplier(rng)); break;
        case 2: c[i] = static_cast<int16_t>(small(rng)); m[i] = static_cast<int16_t>(multiplier(rng)); break;
        default: c[i] = static_cast<int16_t>(any(rng)); m[i] = static_cast<int16_t>(any(rng)); break;
      }
    }
    Samples a = Transform(InverseTransformScalar, c, m);
    Samples b = Transform(InverseTransformSimd, c, m);
    ASSERT_EQ(a, b) << "trial " << trial;
    if (InverseTransformPair != nullptr) {
      // Two blocks, rows interleaved at a stride of 16 (first left, second right).
      Block first = previous, second = c;
      std::array<uint8_t, 128> both{};
      InverseTransformPair(first.data(), second.data(), m.data(), both.data(), both.data() + 8, 16);
      const Samples firstAlone = Transform(InverseTransformScalar, previous, m);
      for (size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(both[(i / 8) * 16 + i % 8], firstAlone[i]) << "trial " << trial << ", first block";
        ASSERT_EQ(both[(i / 8) * 16 + 8 + i % 8], a[i]) << "trial " << trial << ", second block";
      }
      ASSERT_EQ(first, Block{});
      ASSERT_EQ(second, Block{});
    }
    previous = c;
  }
}

}  // namespace
}  // namespace ksv::codec
