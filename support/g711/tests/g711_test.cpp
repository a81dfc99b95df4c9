#include "support/g711/g711.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>

namespace ksv::g711 {
namespace {

TEST(G711, KnownCodes) {
  EXPECT_EQ(EncodeMuLaw(0), 0xFF);
  EXPECT_EQ(DecodeMuLaw(0xFF), 0);
  EXPECT_EQ(DecodeMuLaw(0x80), 32124);
  EXPECT_EQ(DecodeMuLaw(0x00), -32124);
  EXPECT_EQ(EncodeMuLaw(32767), 0x80);
  EXPECT_EQ(EncodeMuLaw(-32768), 0x00);
  EXPECT_EQ(EncodeALaw(0), 0xD5);
  EXPECT_EQ(DecodeALaw(0xD5), 8);
  EXPECT_EQ(DecodeALaw(0x55), -8);
  EXPECT_EQ(DecodeALaw(0xAA), 32256);
  EXPECT_EQ(DecodeALaw(0x2A), -32256);
  EXPECT_EQ(EncodeALaw(32767), 0xAA);
  EXPECT_EQ(EncodeALaw(-32768), 0x2A);
}

// Every code decodes to a value that encodes back to a code of the same
// value; every 16-bit sample comes back within one interval.
TEST(G711, RoundTripsOverEveryCodeAndSample) {
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<uint8_t>(code);
    EXPECT_EQ(DecodeALaw(EncodeALaw(DecodeALaw(c))), DecodeALaw(c)) << code;
    EXPECT_EQ(DecodeMuLaw(EncodeMuLaw(DecodeMuLaw(c))), DecodeMuLaw(c)) << code;
  }
  for (int sample = -32768; sample <= 32767; ++sample) {
    const auto s = static_cast<int16_t>(sample);
    const int magnitude = std::abs(sample);
    // A-law: steps of 16 up to 512 (in 16-bit units), then doubling per segment.
    const int aStep = magnitude < 512 ? 16 : 16 << (std::bit_width(unsigned(magnitude)) - 9);
    ASSERT_LE(std::abs(DecodeALaw(EncodeALaw(s)) - sample), aStep) << sample;
    const int muStep = magnitude < 256 ? 8 : 8 << (std::bit_width(unsigned(magnitude + 132)) - 9);
    if (magnitude <= 32635) {
      ASSERT_LE(std::abs(DecodeMuLaw(EncodeMuLaw(s)) - sample), muStep) << sample;
    }
  }
  // Order is kept: louder samples never get quieter codes.
  for (int sample = -32767; sample <= 32767; sample += 97) {
    EXPECT_LE(DecodeMuLaw(EncodeMuLaw(int16_t(sample - 1))), DecodeMuLaw(EncodeMuLaw(int16_t(sample))));
    EXPECT_LE(DecodeALaw(EncodeALaw(int16_t(sample - 1))), DecodeALaw(EncodeALaw(int16_t(sample))));
  }
}

}  // namespace
}  // namespace ksv::g711
