// The driver's decoder end to end: failure rules, output layouts, crop, gamma
// and the 24-bit paths, on hand-made frames and the shared reference frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "codec/colour_convert.h"
#include "codec/decoder.h"
#include "test_frames.h"

namespace ksv::codec {
namespace {

using testing::FailureOf;
using testing::FlatFrame;
using testing::ReadFile;
using testing::SymbolWriter;
using testing::TestDataPath;
using testing::WithHeader;

constexpr FrameSize kQvga{320, 240};
constexpr FrameSize kSmall{160, 128};

class DriverDecoder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(decoder.SetUp()); }

  DecodeResult Decode(const std::vector<uint8_t>& frame, FrameSize decode, FrameSize output,
                      uint32_t compression, std::vector<uint8_t>& result) {
    result.assign(compression == kCompressionRgb ? Rgb24Bytes(output) : PlanarBytes(output), 0xA5);
    uint32_t written = 12345;
    const DecodeResult decoded =
        decoder.DecodeFrame(context, frame, result, written, decode, output, compression);
    EXPECT_EQ(written, decoded ? result.size() : 0u);
    return decoded;
  }

  DecoderTables decoder;
  DecoderContext context;
  std::vector<uint8_t> out;
};

// A 160 x 128 frame whose first luma block is `firstBlock`, the rest flat.
std::vector<uint8_t> FrameWithFirstBlock(const std::function<void(SymbolWriter&)>& firstBlock) {
  SymbolWriter w;
  firstBlock(w);
  for (int b = 1; b < 6; ++b) w.FlatBlock(b < 4);
  for (int mb = 1; mb < 80; ++mb) w.FlatMacroblock();
  return WithHeader(w.Finish(), 3);
}

// Every pixel of the bottom-up B, G, R picture is `pixel` of the planar
// picture's samples at that place.
void ExpectConverted(const std::vector<uint8_t>& planar, const std::vector<uint8_t>& bgr, FrameSize size,
                     void (*pixel)(int, int, int, uint8_t&, uint8_t&, uint8_t&)) {
  const size_t w = size.width, h = size.height;
  const uint8_t* cb = planar.data() + w * h;
  const uint8_t* cr = cb + w * h / 4;
  for (size_t y = 0; y < h; ++y) {
    for (size_t x = 0; x < w; ++x) {
      uint8_t r, g, b;
      pixel(planar[y * w + x], cb[y / 2 * (w / 2) + x / 2], cr[y / 2 * (w / 2) + x / 2], r, g, b);
      const uint8_t* p = &bgr[((h - 1 - y) * w + x) * 3];
      ASSERT_EQ(p[0], b) << x << "," << y;
      ASSERT_EQ(p[1], g) << x << "," << y;
      ASSERT_EQ(p[2], r) << x << "," << y;
    }
  }
}

TEST_F(DriverDecoder, FlatFrameIsMidGreyInEveryLayout) {
  auto frame = FlatFrame(300);
  ASSERT_EQ(frame[kFrameHeaderSize], 0x28);  // the flat macroblock's first byte
  ASSERT_TRUE(Decode(frame, kQvga, kQvga, kCompressionI420, out));
  for (uint8_t v : out) ASSERT_EQ(v, 128);
  ASSERT_TRUE(Decode(frame, kQvga, kQvga, kCompressionRgb, out));
  for (uint8_t v : out) ASSERT_EQ(v, 128);
  auto shared = ReadFile(TestDataPath("frames/flat_320x240_L2.frame"));
  ASSERT_TRUE(Decode(shared, kQvga, kQvga, kCompressionIYUV, out));
  for (uint8_t v : out) ASSERT_EQ(v, 128);
}

TEST_F(DriverDecoder, EachRefusalNamesItsCause) {
  auto frame = FlatFrame(300);
  auto bad = frame;
  bad[kFrameLevelOffset] = 4;
  EXPECT_EQ(FailureOf(Decode(bad, kQvga, kQvga, kCompressionI420, out)), DecodeError::kLevelNotSupported);
  bad[kFrameLevelOffset] = 255;
  EXPECT_EQ(FailureOf(Decode(bad, kQvga, kQvga, kCompressionI420, out)), DecodeError::kLevelNotSupported);
  EXPECT_EQ(FailureOf(Decode(frame, {300, 240}, {300, 240}, kCompressionI420, out)),
            DecodeError::kSizeNotSupported) << "width without a layout";
  EXPECT_EQ(FailureOf(Decode(frame, {320, 200}, {320, 200}, kCompressionI420, out)),
            DecodeError::kSizeNotSupported) << "height without a layout";
  EXPECT_EQ(FailureOf(Decode(frame, kSmall, {176, 120}, kCompressionI420, out)),
            DecodeError::kSizeNotSupported) << "output wider than the decode";
  EXPECT_EQ(FailureOf(Decode(frame, kSmall, {160, 119}, kCompressionI420, out)),
            DecodeError::kSizeNotSupported) << "odd output height";
  EXPECT_EQ(FailureOf(Decode(frame, kQvga, kQvga, support::FourCC('Y', 'U', 'Y', '2'), out)),
            DecodeError::kFormatNotSupported);
  std::vector<uint8_t> header(frame.begin(), frame.begin() + 10);
  EXPECT_EQ(FailureOf(Decode(header, kQvga, kQvga, kCompressionI420, out)), DecodeError::kDataEndsEarly)
      << "shorter than the header";

  std::vector<uint8_t> small(PlanarBytes(kQvga) - 1);
  uint32_t written = 1;
  EXPECT_EQ(FailureOf(decoder.DecodeFrame(context, frame, small, written, kQvga, kQvga, kCompressionI420)),
            DecodeError::kOutputTooSmall);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(FailureOf(decoder.DecodeDirect(frame, small, written, kQvga, OutputCode::kBgr24)),
            DecodeError::kOutputTooSmall);

  DecoderTables notSetUp;
  EXPECT_EQ(FailureOf(notSetUp.DecodeFrame(context, frame, small, written, kQvga, kQvga, kCompressionI420)),
            DecodeError::kNotSetUp);
  EXPECT_EQ(FailureOf(notSetUp.DecodeDirect(frame, small, written, kQvga, OutputCode::kBgr24)),
            DecodeError::kNotSetUp);
}

TEST_F(DriverDecoder, DataThatEndsBeforeTheLastMacroblockIsReportedAsSuch) {
  // 200 macroblocks where the picture needs 300.
  EXPECT_EQ(FailureOf(Decode(FlatFrame(200), kQvga, kQvga, kCompressionI420, out)),
            DecodeError::kDataEndsEarly);
  EXPECT_EQ(FailureOf(Decode(FlatFrame(200), kQvga, kQvga, kCompressionRgb, out)),
            DecodeError::kDataEndsEarly);
  // All the data there, but the header's data-length bound stops at half.
  const std::vector<uint8_t> whole = FlatFrame(300);
  const std::vector<uint8_t> entropy(whole.begin() + kFrameHeaderSize, whole.end());
  const auto bounded = WithHeader(entropy, 3, static_cast<int64_t>(entropy.size() / 2));
  EXPECT_EQ(FailureOf(Decode(bounded, kQvga, kQvga, kCompressionI420, out)), DecodeError::kDataEndsEarly);
  uint32_t written = 0;
  out.assign(Rgb24Bytes(kQvga), 0);
  EXPECT_EQ(FailureOf(decoder.DecodeDirect(bounded, out, written, kQvga, OutputCode::kRgb24)),
            DecodeError::kDataEndsEarly);
}

TEST_F(DriverDecoder, AFullBlockWithoutEndOfBlockDecodes) {
  auto frame = FrameWithFirstBlock([](SymbolWriter& w) {
    w.Dc(true, 0);
    for (int k = 1; k < 64; ++k) w.Ac(true, 0, k % 2 ? 3 : -3);  // k ends at exactly 64
  });
  ASSERT_TRUE(Decode(frame, kSmall, kSmall, kCompressionI420, out));
  bool textured = false;
  for (int x = 1; x < 8; ++x) textured |= out[static_cast<size_t>(x)] != out[0];
  EXPECT_TRUE(textured);
  EXPECT_EQ(out[8], 128) << "the second block is flat";
}

TEST_F(DriverDecoder, ARunPastTheBlockFails) {
  // (15, 0) read at k = 50 carries k to 66.
  auto overrun = FrameWithFirstBlock([](SymbolWriter& w) {
    w.Dc(true, 0);
    for (int k = 1; k < 50; ++k) w.Ac(true, 0, 1);
    w.Ac(true, 15, 0);
    w.EndOfBlock(true);
  });
  EXPECT_EQ(FailureOf(Decode(overrun, kSmall, kSmall, kCompressionI420, out)),
            DecodeError::kCorruptEntropyData);
  // Read at k = 48 it ends the block at exactly 64.
  auto exact = FrameWithFirstBlock([](SymbolWriter& w) {
    w.Dc(true, 0);
    for (int k = 1; k < 48; ++k) w.Ac(true, 0, 1);
    w.Ac(true, 15, 0);
  });
  EXPECT_TRUE(Decode(exact, kSmall, kSmall, kCompressionI420, out));
  // A long run landing one past the end: (14, 1) at k = 50 writes position 63, k = 65.
  auto past = FrameWithFirstBlock([](SymbolWriter& w) {
    w.Dc(true, 0);
    for (int k = 1; k < 50; ++k) w.Ac(true, 0, 1);
    w.Ac(true, 14, 1);
  });
  EXPECT_EQ(FailureOf(Decode(past, kSmall, kSmall, kCompressionI420, out)),
            DecodeError::kCorruptEntropyData);
}

TEST_F(DriverDecoder, InvalidCodesFail) {
  // Sixteen ones is no luminance AC code.
  SymbolWriter w;
  w.Dc(true, 0);
  std::vector<uint8_t> entropy = w.Finish();  // 00 then padding ones: 0011 1111
  entropy.insert(entropy.end(), {0xFF, 0xFF, 0xFF});
  EXPECT_EQ(FailureOf(Decode(WithHeader(entropy, 0), kSmall, kSmall, kCompressionI420, out)),
            DecodeError::kCorruptEntropyData);
  // Eleven ones is no chrominance DC code.
  SymbolWriter c;
  for (int b = 0; b < 4; ++b) c.FlatBlock(true);
  auto chroma = c.Finish();
  chroma.insert(chroma.end(), {0xFF, 0xFF, 0x00, 0x00});
  EXPECT_EQ(FailureOf(Decode(WithHeader(chroma, 0), kSmall, kSmall, kCompressionI420, out)),
            DecodeError::kCorruptEntropyData);
}

TEST_F(DriverDecoder, LuminanceDcSizeElevenIgnoresTheNinthBit) {
  // The camera's table knows 111111110 (size 11) by its first eight bits, so
  // 111111111 decodes as size 11 too.
  auto build = [](bool ninthBit) {
    std::vector<uint8_t> bytes;
    simcam::BitWriter bits(bytes);
    bits.Put(0xFF, 8);
    bits.Put(ninthBit ? 1 : 0, 1);
    bits.Put(0x400, 11);  // difference +1024: 1024 x 20 >> 5 saturates
    bits.Put(0b1010, 4);  // end of block
    SymbolWriter rest;
    for (int b = 1; b < 6; ++b) rest.FlatBlock(b < 4);
    for (int mb = 1; mb < 80; ++mb) rest.FlatMacroblock();
    auto tail = rest.Finish();
    // Re-emit the rest bit-exactly after the first block.
    for (uint8_t byte : tail) bits.Put(byte, 8);
    bits.PadWithOnes();
    return WithHeader(bytes, 3);
  };
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(Decode(build(false), kSmall, kSmall, kCompressionI420, a));
  ASSERT_TRUE(Decode(build(true), kSmall, kSmall, kCompressionI420, b));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[0], 255);
}

TEST_F(DriverDecoder, DcPredictionRunsAcrossTheFrame) {
  // Each luma block adds 8 to the predictor; level 3 luma DC multiplier is
  // 5 x 4 = 20, so block n has DC 8n x 20 = 160n: samples (160n >> 5) + 128.
  SymbolWriter w;
  for (int mb = 0; mb < 80; ++mb) {
    for (int b = 0; b < 4; ++b) {
      w.Dc(true, mb == 0 ? 8 : 0);
      w.EndOfBlock(true);
    }
    w.FlatBlock(false);
    w.FlatBlock(false);
  }
  ASSERT_TRUE(Decode(WithHeader(w.Finish(), 3), kSmall, kSmall, kCompressionI420, out));
  EXPECT_EQ(out[0], (160 >> 5) + 128);            // block 0: DC 8
  EXPECT_EQ(out[8], (320 >> 5) + 128);            // block 1: DC 16
  EXPECT_EQ(out[8 * 160 + 8], (640 >> 5) + 128);  // block 3: DC 32
  EXPECT_EQ(out[16], (640 >> 5) + 128);           // later blocks keep 32
}

TEST_F(DriverDecoder, CropOf160x128To160x120KeepsTheMiddleRows) {
  auto frame = ReadFile(TestDataPath("frames/astronaut_160x128_L1.frame"));
  std::vector<uint8_t> full, cropped;
  ASSERT_TRUE(Decode(frame, kSmall, kSmall, kCompressionI420, full));
  ASSERT_TRUE(Decode(frame, kSmall, {160, 120}, kCompressionI420, cropped));
  ASSERT_EQ(cropped.size(), 160u * 120 * 3 / 2);
  for (size_t row = 0; row < 120; ++row)
    ASSERT_TRUE(std::equal(cropped.begin() + row * 160, cropped.begin() + row * 160 + 160, full.begin() + (row + 4) * 160));
  for (size_t plane = 0; plane < 2; ++plane) {
    size_t from = 160 * 128 + plane * 80 * 64, to = 160 * 120 + plane * 80 * 60;
    for (size_t row = 0; row < 60; ++row)
      ASSERT_TRUE(std::equal(cropped.begin() + to + row * 80, cropped.begin() + to + row * 80 + 80,
                             full.begin() + from + (row + 2) * 80));
  }
}

TEST_F(DriverDecoder, DirectTwentyFourBitEqualsThePlanarPictureConverted) {
  auto frame = ReadFile(TestDataPath("frames/coffee_320x240_L3.frame"));
  std::vector<uint8_t> planar, bgr;
  ASSERT_TRUE(Decode(frame, kQvga, kQvga, kCompressionI420, planar));
  ASSERT_TRUE(Decode(frame, kQvga, kQvga, kCompressionRgb, bgr));
  ExpectConverted(planar, bgr, kQvga, DirectPixel);
}

TEST_F(DriverDecoder, GammaAndCropGoThroughThePlanarConversion) {
  auto frame = ReadFile(TestDataPath("frames/chelsea_160x128_L2.frame"));
  std::vector<uint8_t> planar, bgr;
  SetGammaLevel(context, 5);
  ASSERT_TRUE(Decode(frame, kSmall, {160, 120}, kCompressionI420, planar));
  ASSERT_TRUE(Decode(frame, kSmall, {160, 120}, kCompressionRgb, bgr));
  SetGammaLevel(context, 0);
  std::vector<uint8_t> plain;
  ASSERT_TRUE(Decode(frame, kSmall, {160, 120}, kCompressionI420, plain));
  for (size_t i = 0; i < 160 * 120; ++i) ASSERT_EQ(planar[i], kGammaTables[5][plain[i]]);
  ASSERT_TRUE(std::equal(planar.begin() + 160 * 120, planar.end(), plain.begin() + 160 * 120)) << "chroma unchanged";
  ExpectConverted(planar, bgr, {160, 120}, PlanarPixel);
}

TEST_F(DriverDecoder, TwentyFourBitWithoutADirectLayoutGoesThroughPlanar) {
  // 160 x 128 has no direct 24-bit layout; the picture is whole all the same.
  auto frame = ReadFile(TestDataPath("frames/chelsea_160x128_L0.frame"));
  std::vector<uint8_t> planar, bgr;
  ASSERT_TRUE(Decode(frame, kSmall, kSmall, kCompressionI420, planar));
  ASSERT_TRUE(Decode(frame, kSmall, kSmall, kCompressionRgb, bgr));
  uint8_t r, g, b;
  PlanarPixel(planar[0], planar[160 * 128], planar[160 * 128 + 80 * 64], r, g, b);
  const uint8_t* top = &bgr[127 * 160 * 3];
  EXPECT_EQ(top[0], b);
  EXPECT_EQ(top[1], g);
  EXPECT_EQ(top[2], r);
}

TEST_F(DriverDecoder, RgbOrderSwapsTheOuterBytes) {
  auto frame = ReadFile(TestDataPath("frames/astronaut_320x240_L3.frame"));
  std::vector<uint8_t> bgr(Rgb24Bytes(kQvga)), rgb(Rgb24Bytes(kQvga));
  uint32_t written = 0;
  ASSERT_TRUE(decoder.DecodeDirect(frame, bgr, written, kQvga, OutputCode::kBgr24));
  ASSERT_TRUE(decoder.DecodeDirect(frame, rgb, written, kQvga, OutputCode::kRgb24));
  for (size_t i = 0; i < bgr.size(); i += 3) {
    ASSERT_EQ(bgr[i], rgb[i + 2]);
    ASSERT_EQ(bgr[i + 1], rgb[i + 1]);
    ASSERT_EQ(bgr[i + 2], rgb[i]);
  }
}

TEST_F(DriverDecoder, LevelChangesBetweenFramesTakeEffect) {
  // The same entropy data at two levels: the finer level gives a flatter picture.
  auto l0 = ReadFile(TestDataPath("frames/astronaut_160x128_L0.frame"));
  auto l2 = l0;
  l2[kFrameLevelOffset] = 2;
  std::vector<uint8_t> a, b, c;
  ASSERT_TRUE(Decode(l0, kSmall, kSmall, kCompressionI420, a));
  ASSERT_TRUE(Decode(l2, kSmall, kSmall, kCompressionI420, b));
  ASSERT_TRUE(Decode(l0, kSmall, kSmall, kCompressionI420, c));
  EXPECT_NE(a, b);
  EXPECT_EQ(a, c);
}

TEST(GammaLevel, OutOfRangeLevelsAreRefused) {
  DecoderContext context;
  EXPECT_TRUE(SetGammaLevel(context, 9));
  EXPECT_EQ(context.gammaLevel, 9u);
  EXPECT_FALSE(SetGammaLevel(context, 10));
  EXPECT_EQ(context.gammaLevel, 9u);
}

TEST(LayoutSizes, NamesEverySizeADecoderLaysOut) {
  const auto listed = LayoutSizes();
  auto isListed = [&](FrameSize size) {
    return std::find(listed.begin(), listed.end(), size) != listed.end();
  };
  const OutputCode codes[] = {OutputCode::kBgr24, OutputCode::kPlanar420, OutputCode::kRgb24};
  for (uint32_t width = 16; width <= 1024; width += 16) {
    for (uint32_t height = 16; height <= 768; height += 16) {
      const FrameSize size{width, height};
      for (const OutputCode code : codes) {
        if (LiveDecoderHasLayout(size, code)) {
          EXPECT_TRUE(isListed(size)) << width << "x" << height;
        }
        // The stored 24-bit layout at width 160 takes any height.
        if (StoredDecoderHasLayout(size, code) && !(width == 160 && code != OutputCode::kPlanar420)) {
          EXPECT_TRUE(isListed(size)) << width << "x" << height;
        }
      }
    }
  }
  for (const FrameSize size : listed) {
    bool laidOut = false;
    for (const OutputCode code : codes) {
      laidOut = laidOut || LiveDecoderHasLayout(size, code) || StoredDecoderHasLayout(size, code);
    }
    EXPECT_TRUE(laidOut) << size.width << "x" << size.height;
  }
  EXPECT_TRUE(StoredDecoderHasLayout({160, kStoredNarrowMaxHeight}, OutputCode::kBgr24));
  EXPECT_FALSE(StoredDecoderHasLayout({160, kStoredNarrowMaxHeight + 1}, OutputCode::kBgr24));
}

}  // namespace
}  // namespace ksv::codec
