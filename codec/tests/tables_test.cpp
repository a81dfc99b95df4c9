// The fixed tables: Annex K codes, level tables, dequantisation multipliers
// and gamma curves, against hand-worked values and their formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "codec/annex_k.h"
#include "codec/gamma_tables.h"
#include "codec/quant_tables.h"

namespace ksv::codec {
namespace {

TEST(AnnexKTables, FirstCanonicalCodesOfTheAcTables) {
  // Lengths 2..16; -1 where the table has no code of that length.
  const std::array<int32_t, 15> luma = {0, 4, 10, 26, 58, 120, 248, 502, 1014, 2038, 4084, -1, -1, 32704, 65410};
  const std::array<int32_t, 15> chroma = {0, 4, 10, 24, 56, 120, 246, 500, 1014, 2038, 4084, -1, 16352, 32706, 65416};
  auto lumaFirst = FirstCodes(kLuminanceAc);
  auto chromaFirst = FirstCodes(kChrominanceAc);
  for (size_t i = 0; i < 15; ++i) {
    EXPECT_EQ(lumaFirst[i + 1], luma[i]) << "length " << i + 2;
    EXPECT_EQ(chromaFirst[i + 1], chroma[i]) << "length " << i + 2;
  }
}

TEST(AnnexKTables, ChrominanceDcCodes) {
  auto codes = CanonicalCodes(kChrominanceDc);
  EXPECT_EQ(codes[0].code, 0b00);
  EXPECT_EQ(codes[1].code, 0b01);
  EXPECT_EQ(codes[2].code, 0b10);
  const uint16_t longer[] = {6, 14, 30, 62, 126, 254, 510, 1022, 2046};
  for (int size = 3; size <= 11; ++size) {
    EXPECT_EQ(codes[size].code, longer[size - 3]) << "size " << size;
    EXPECT_EQ(codes[size].length, size) << "size " << size;
  }
}

TEST(AnnexKTables, WellKnownAcCodes) {
  auto luma = CanonicalCodes(kLuminanceAc);
  EXPECT_EQ(luma[0x00].code, 0b1010);  // end of block
  EXPECT_EQ(luma[0x00].length, 4);
  EXPECT_EQ(luma[0x01].code, 0b00);
  EXPECT_EQ(luma[0x02].code, 0b01);
  EXPECT_EQ(luma[0xF0].code, 0b11111111001);  // sixteen zeros
  EXPECT_EQ(luma[0xF0].length, 11);
  auto chroma = CanonicalCodes(kChrominanceAc);
  EXPECT_EQ(chroma[0x00].code, 0b00);
  EXPECT_EQ(chroma[0x00].length, 2);
  EXPECT_EQ(chroma[0xF0].code, 0b1111111010);
}

TEST(AnnexKTables, ZigZagVisitsEveryPositionOnceThenTheSpareSlot) {
  std::array<int, 64> seen{};
  for (size_t k = 0; k < 64; ++k) ++seen[kZigZag[k]];
  for (int count : seen) EXPECT_EQ(count, 1);
  EXPECT_EQ(kZigZag[2], 8);
  EXPECT_EQ(kZigZag[5], 2);
  for (size_t k = 64; k < 128; ++k) EXPECT_EQ(kZigZag[k], 64);
}

TEST(QuantTables, LevelEntriesFollowTheRoundedPercentage) {
  QuantPair l0 = DriverLevelPair(0);
  EXPECT_EQ(l0.luminance[0], 2);     // 16 x 10% = 1.6
  EXPECT_EQ(l0.luminance[2], 1);     // 10 x 10% = 1.0
  EXPECT_EQ(l0.chrominance[63], 10); // 99 x 10% = 9.9
  QuantPair l3 = DriverLevelPair(3);
  EXPECT_EQ(l3.luminance[0], 5);     // 16 x 30% = 4.8
  EXPECT_EQ(l3.luminance[53], 36);   // 121 x 30% = 36.3
  QuantPair l2 = DriverLevelPair(2);
  EXPECT_EQ(l2.chrominance[0], 7);   // 17 x 40% = 6.8
}

TEST(QuantTables, EncoderUploadIsFourPairsInLevelOrder) {
  auto bytes = DriverEncoderTables();
  for (int level = 0; level < 4; ++level) {
    QuantPair pair = DriverLevelPair(level);
    for (size_t i = 0; i < 64; ++i) {
      ASSERT_EQ(bytes[static_cast<size_t>(level) * 128 + i], pair.luminance[i]);
      ASSERT_EQ(bytes[static_cast<size_t>(level) * 128 + 64 + i], pair.chrominance[i]);
    }
  }
}

TEST(QuantTables, LibraryPairNumbersShareTables) {
  EXPECT_EQ(LibraryBuiltInPair(1), ScaledAnnexKPair(60));
  EXPECT_EQ(LibraryBuiltInPair(5), ScaledAnnexKPair(60));
  EXPECT_EQ(LibraryBuiltInPair(2), ScaledAnnexKPair(40));
  EXPECT_EQ(LibraryBuiltInPair(6), ScaledAnnexKPair(40));
  EXPECT_EQ(LibraryBuiltInPair(3), ScaledAnnexKPair(30));
  EXPECT_EQ(LibraryBuiltInPair(7), ScaledAnnexKPair(30));
  EXPECT_EQ(LibraryBuiltInPair(0), ScaledAnnexKPair(100));
  EXPECT_EQ(LibraryBuiltInPair(4), ScaledAnnexKPair(100));
  EXPECT_EQ(LibraryBuiltInPair(-1), ScaledAnnexKPair(100));
  EXPECT_EQ(LibraryBuiltInPair(9), ScaledAnnexKPair(100));
}

TEST(QuantTables, StoredTableBytesSplitIntoLuminanceThenChrominance) {
  std::array<uint8_t, 128> bytes{};
  for (size_t i = 0; i < 128; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  QuantPair pair = QuantPairFromBytes(bytes);
  EXPECT_EQ(pair.luminance[0], 1);
  EXPECT_EQ(pair.luminance[63], 64);
  EXPECT_EQ(pair.chrominance[0], 65);
  EXPECT_EQ(pair.chrominance[63], 128);
}

TEST(Multipliers, FixedPointFormKeepsTwoFractionalBits) {
  QuantTable q{};
  q.fill(16);
  Multipliers m = FixedPointMultipliers(q);
  EXPECT_EQ(m[0], 64);  // 16 x 4
  EXPECT_EQ(m[1], 88);  // ((16 x 90901 x 4) >> 16) = 88, x 65536 >> 16
  EXPECT_EQ(m[8], 88);
  q.fill(1);
  m = FixedPointMultipliers(q);
  EXPECT_EQ(m[9], 6);   // (1 x 90901 x 4) >> 16 = 5; 5 x 90901 >> 16 = 6
  EXPECT_EQ(m[63], 0);  // (4 x 18081) >> 16 = 1; 1 x 18081 >> 16 = 0
}

TEST(Multipliers, FloatingPointFormTruncatesTheRealProduct) {
  QuantTable q{};
  q.fill(1);
  Multipliers m = FloatingPointMultipliers(q);
  EXPECT_EQ(m[0], 4);
  EXPECT_EQ(m[9], 7);   // 4 x 1.38704^2 = 7.696
  EXPECT_EQ(m[63], 0);  // 4 x 0.27590^2 = 0.304
  q.fill(255);
  m = FloatingPointMultipliers(q);
  EXPECT_EQ(m[9], 1962);  // 255 x 4 x 1.923880
  EXPECT_EQ(m[0], 1020);
}

TEST(GammaTables, EveryEntryEqualsTheFormula) {
  for (uint32_t level = 0; level < kGammaLevels; ++level) {
    for (int x = 0; x < 256; ++x) {
      double expected = level == 0 ? x : std::floor(255.0 * std::pow(x / 255.0, 1.0 / (1.0 + 0.2 * level)));
      ASSERT_EQ(kGammaTables[level][static_cast<size_t>(x)], expected) << "level " << level << " x " << x;
    }
  }
}

TEST(GammaTables, LevelFiveBrightensMidtonesAndKeepsTheEnds) {
  EXPECT_EQ(kGammaTables[5][64], 127);
  EXPECT_EQ(kGammaTables[5][0], 0);
  EXPECT_EQ(kGammaTables[5][255], 255);
  for (uint32_t level = 1; level < kGammaLevels; ++level)
    for (size_t x = 1; x < 255; ++x) ASSERT_GE(kGammaTables[level][x], x);
}

}  // namespace
}  // namespace ksv::codec
