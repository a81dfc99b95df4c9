// Every coefficient position on its own, our decoder against libjpeg: frames
// whose blocks each hold one AC coefficient, so a wrong quantisation entry
// or zig-zag position shows as a whole block of large differences instead of
// a small rise in a picture's mean difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "codec/annex_k.h"
#include "codec/frame_format.h"
#include "codec/quant_tables.h"
#include "codec/tests/crosscheck_fixture.h"
#include "simcam/bit_writer.h"
#include "simcam/block_coder.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/tests/libjpeg_oracle.h"
#include "support/byte_order.h"

namespace ksv::codec {
namespace {

using crosscheck::CrossCheck;

// Luminance blocks are counted in coding order (four per macroblock),
// chrominance blocks likewise (Cb then Cr of each macroblock). Block n of a
// kind holds zig-zag position 1 + n % 63; the sign flips every 63 blocks.
int PositionOf(size_t block) { return 1 + static_cast<int>(block % 63); }
int SignOf(size_t block) { return (block / 63) % 2 == 0 ? 1 : -1; }

// About 200 after dequantisation: a basis picture of some 50 levels either
// way from mid-grey, far from clipping.
int16_t ValueFor(int position, const QuantTable& table, size_t block) {
  const int step = table[kZigZag[static_cast<size_t>(position)]];
  return static_cast<int16_t>(SignOf(block) * std::max(1, 200 / step));
}

std::vector<uint8_t> SingleCoefficientData(FrameSize size, const QuantPair& tables) {
  const simcam::BlockEntropyCoder luma(kLuminanceDc, kLuminanceAc);
  const simcam::BlockEntropyCoder chroma(kChrominanceDc, kChrominanceAc);
  std::vector<uint8_t> data;
  simcam::BitWriter bits(data);
  int lumaPredictor = 0, cbPredictor = 0, crPredictor = 0;
  size_t lumaBlock = 0, chromaBlock = 0;
  const size_t macroblocks = size_t{size.width / 16} * (size.height / 16);
  for (size_t m = 0; m < macroblocks; ++m) {
    for (int i = 0; i < 4; ++i, ++lumaBlock) {
      simcam::ZigZagBlock block{};
      const int position = PositionOf(lumaBlock);
      block[static_cast<size_t>(position)] = ValueFor(position, tables.luminance, lumaBlock);
      luma.Encode(block, lumaPredictor, bits);
    }
    for (int* predictor : {&cbPredictor, &crPredictor}) {
      simcam::ZigZagBlock block{};
      const int position = PositionOf(chromaBlock);
      block[static_cast<size_t>(position)] = ValueFor(position, tables.chrominance, chromaBlock);
      chroma.Encode(block, *predictor, bits);
      ++chromaBlock;
    }
  }
  bits.PadWithOnes();
  return data;
}

// Largest absolute difference of each 8 x 8 block of a plane, in raster order.
std::vector<int> BlockMaxima(const uint8_t* ours, const uint8_t* theirs, size_t width,
                             size_t height) {
  std::vector<int> maxima((width / 8) * (height / 8), 0);
  for (size_t y = 0; y < height; ++y) {
    for (size_t x = 0; x < width; ++x) {
      const int d = std::abs(ours[y * width + x] - theirs[y * width + x]);
      int& m = maxima[(y / 8) * (width / 8) + x / 8];
      m = std::max(m, d);
    }
  }
  return maxima;
}

// The worst block difference and the zig-zag position it held.
struct Worst {
  int difference = 0;
  int position = 0;
  void Take(int d, int p) {
    if (d > difference) difference = d, position = p;
  }
};

// Compares planar pictures block by block and maps each block back to the
// position it held.
void CompareBlocks(const uint8_t* ours, const std::vector<uint8_t>& theirs, FrameSize size,
                   Worst& luma, Worst& chroma) {
  const size_t w = size.width, h = size.height;
  const std::vector<int> y = BlockMaxima(ours, theirs.data(), w, h);
  const size_t mbColumns = w / 16;
  for (size_t i = 0; i < y.size(); ++i) {
    const size_t bx = i % (w / 8), by = i / (w / 8);
    const size_t macroblock = (by / 2) * mbColumns + bx / 2;
    luma.Take(y[i], PositionOf(macroblock * 4 + (by % 2) * 2 + bx % 2));
  }
  for (size_t plane = 0; plane < 2; ++plane) {
    const size_t offset = w * h + plane * (w / 2) * (h / 2);
    const std::vector<int> c = BlockMaxima(ours + offset, theirs.data() + offset, w / 2, h / 2);
    for (size_t i = 0; i < c.size(); ++i) chroma.Take(c[i], PositionOf(i * 2 + plane));
  }
}

std::vector<uint8_t> WithHeader(const std::vector<uint8_t>& data, int level) {
  std::vector<uint8_t> frame(kFrameHeaderSize, 0);
  frame[kFrameLevelOffset] = static_cast<uint8_t>(level);
  support::StoreLe32(frame, kFrameDataLengthOffset, static_cast<uint32_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  return frame;
}

void Report(const std::string& name, const Worst& luma, const Worst& chroma, int bound) {
  std::cout << "  " << name << ": worst block difference luminance " << luma.difference
            << " (zig-zag " << luma.position << "), chrominance " << chroma.difference
            << " (zig-zag " << chroma.position << ")\n";
  ::testing::Test::RecordProperty(name + "_luma_max", luma.difference);
  ::testing::Test::RecordProperty(name + "_chroma_max", chroma.difference);
  EXPECT_LE(luma.difference, bound) << name << ", luminance zig-zag position " << luma.position;
  EXPECT_LE(chroma.difference, bound)
      << name << ", chrominance zig-zag position " << chroma.position;
}

TEST_F(CrossCheck, EachCoefficientPositionAtEveryLevel) {
  // Our decoder's dequantisation multipliers are truncated to two fractional
  // bits; at level 0 the steps are 1 or 2, where that costs most.
  const int kBound[] = {15, 8, 3, 5};  // measured 13, 6, 2, 4
  const FrameSize size{160, 128};      // 320 luminance blocks: each position 5 times
  std::cout << "single-coefficient blocks, our driver decoder vs libjpeg\n";
  for (int level = 0; level < kCompressionLevels; ++level) {
    const QuantPair tables = DriverLevelPair(level);
    const std::vector<uint8_t> data = SingleCoefficientData(size, tables);
    const std::vector<uint8_t> frame = WithHeader(data, level);
    const uint8_t* ours = DecodeFrame(frame, size, kCompressionI420);
    ASSERT_NE(ours, nullptr);
    const std::vector<uint8_t> theirs =
        simcam::oracle::DecodePlanar(outside::bulk::WrapAsJpeg(data, tables, size.width, size.height),
                                     simcam::oracle::DctMethod::kFast)
            .samples;
    Worst luma, chroma;
    CompareBlocks(ours, theirs, size, luma, chroma);
    Report("L" + std::to_string(level), luma, chroma, kBound[level]);
  }
}

TEST_F(CrossCheck, EachCoefficientPositionWithStoredTables) {
  // Annex K at 50 % and at 100 % (the library's pair 0) as stored tables.
  const int kBound[] = {3, 2};  // measured 2, 1
  const FrameSize size{320, 240};
  std::cout << "single-coefficient blocks, our library decoder vs libjpeg\n";
  const int percentages[] = {50, 100};
  for (size_t t = 0; t < 2; ++t) {
    const QuantPair tables = ScaledAnnexKPair(percentages[t]);
    std::array<uint8_t, 128> qtab;
    std::copy(tables.luminance.begin(), tables.luminance.end(), qtab.begin());
    std::copy(tables.chrominance.begin(), tables.chrominance.end(), qtab.begin() + 64);
    const std::vector<uint8_t> data = SingleCoefficientData(size, tables);
    const uint8_t* ours =
        DecodeStored(data, static_cast<uint32_t>(data.size()), qtab, size, OutputCode::kPlanar420);
    ASSERT_NE(ours, nullptr);
    const std::vector<uint8_t> theirs =
        simcam::oracle::DecodePlanar(outside::bulk::WrapAsJpeg(data, tables, size.width, size.height),
                                     simcam::oracle::DctMethod::kFast)
            .samples;
    Worst luma, chroma;
    CompareBlocks(ours, theirs, size, luma, chroma);
    Report("stored" + std::to_string(percentages[t]), luma, chroma, kBound[t]);
  }
}

}  // namespace
}  // namespace ksv::codec
