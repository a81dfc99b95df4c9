#include "simcam/frame_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "codec/frame_format.h"
#include "codec/quant_tables.h"
#include "simcam/tests/test_files.h"

namespace ksv::simcam {
namespace {

picture::PlanarPicture Grey(uint32_t width, uint32_t height) {
  return {width, height, std::vector<uint8_t>(codec::PlanarBytes({width, height}), 128)};
}

// Fills the 8 x 8 block at (x, y) of a plane of `stride` samples per row.
void FillBlock(uint8_t* plane, size_t stride, size_t x, size_t y, uint8_t value) {
  for (size_t row = 0; row < 8; ++row) std::fill_n(plane + (y + row) * stride + x, 8, value);
}

TEST(EncodeEntropyData, FlatGreyIsFourBytesPerMacroblock) {
  // Every block has DC 0 and no AC: four luminance "00 1010", two
  // chrominance "00 00" = 32 bits per macroblock, at every level.
  for (int level = 0; level < codec::kCompressionLevels; ++level) {
    const std::vector<uint8_t> data =
        EncodeEntropyData(Grey(48, 32), codec::DriverLevelPair(level));
    ASSERT_EQ(data.size(), 6u * 4u) << level;
    for (size_t i = 0; i < data.size(); i += 4) {
      EXPECT_EQ(std::vector<uint8_t>(data.begin() + i, data.begin() + i + 4),
                (std::vector<uint8_t>{0x28, 0xA2, 0x8A, 0x00}))
          << "level " << level << " macroblock " << i / 4;
    }
  }
}

TEST(EncodeEntropyData, CarriesEachPredictorThroughTheFrameAndPadsWithOnes) {
  // 32 x 16 at level 3 (DC steps 5 for Y and Cr). Y block 0 is 136: DC 64/5
  // -> 13. Cr block of macroblock 0 is 112: DC -128/5 -> -26. All else 128.
  picture::PlanarPicture picture = Grey(32, 16);
  uint8_t* y = picture.samples.data();
  uint8_t* cr = y + 32 * 16 + 16 * 8;
  FillBlock(y, 32, 0, 0, 136);
  FillBlock(cr, 16, 0, 0, 112);
  // Macroblock 0: Y +13 "101 1101" EOB, Y -13 "101 0010" EOB, Y 0, Y 0,
  // Cb 0, Cr -26 "11110 00101" EOB. Macroblock 1: four Y 0 (the Y predictor
  // is back at 0), Cb 0, Cr +26 "11110 11010" EOB (from Cr's own -26).
  // 90 bits, then six 1s.
  const std::vector<uint8_t> expected = {0xBB, 0x54, 0xA8, 0xA2, 0x83, 0xC5,
                                         0x0A, 0x28, 0xA2, 0x83, 0xDA, 0x3F};
  EXPECT_EQ(EncodeEntropyData(picture, codec::DriverLevelPair(3)), expected);
}

TEST(EncodeEntropyData, RefusesSizesOutsideWholeMacroblocks) {
  const codec::QuantPair tables = codec::DriverLevelPair(0);
  EXPECT_THROW(EncodeEntropyData(Grey(24, 16), tables), std::invalid_argument);
  EXPECT_THROW(EncodeEntropyData(Grey(16, 8), tables), std::invalid_argument);
  EXPECT_THROW(EncodeEntropyData(picture::PlanarPicture{}, tables), std::invalid_argument);
  picture::PlanarPicture shortPicture = Grey(16, 16);
  shortPicture.samples.pop_back();
  EXPECT_THROW(EncodeEntropyData(shortPicture, tables), std::invalid_argument);
  codec::QuantPair zero = tables;
  zero.chrominance[5] = 0;
  EXPECT_THROW(EncodeEntropyData(Grey(16, 16), zero), std::invalid_argument);
}

TEST(EncodeFrame, PutsLevelAndDataLengthInTheHeader) {
  const picture::PlanarPicture photo = testfiles::PlanarPhoto("coffee", 160, 128);
  for (int level = 0; level < codec::kCompressionLevels; ++level) {
    const std::vector<uint8_t> frame = EncodeFrame(photo, level);
    const std::vector<uint8_t> data = EncodeEntropyData(photo, codec::DriverLevelPair(level));
    ASSERT_EQ(frame.size(), codec::kFrameHeaderSize + data.size());
    const std::vector<uint8_t> expectedHeader = {0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 static_cast<uint8_t>(level),
                                                 0,
                                                 0,
                                                 0,
                                                 static_cast<uint8_t>(data.size()),
                                                 static_cast<uint8_t>(data.size() >> 8),
                                                 static_cast<uint8_t>(data.size() >> 16),
                                                 static_cast<uint8_t>(data.size() >> 24)};
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 15), expectedHeader);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), frame.begin() + 15)) << level;
  }
}

TEST(EncodeFrame, CompressesMoreAtEachLargerQuantiserStep) {
  // Level steps are 10, 20, 30 (level 3) and 40 (level 2) % of Annex K.
  const picture::PlanarPicture photo = testfiles::PlanarPhoto("chelsea", 320, 240);
  const size_t level0 = EncodeFrame(photo, 0).size();
  const size_t level1 = EncodeFrame(photo, 1).size();
  const size_t level3 = EncodeFrame(photo, 3).size();
  const size_t level2 = EncodeFrame(photo, 2).size();
  EXPECT_GT(level0, level1);
  EXPECT_GT(level1, level3);
  EXPECT_GT(level3, level2);
}

TEST(EncodeFrame, RefusesUnknownLevels) {
  EXPECT_THROW(EncodeFrame(Grey(16, 16), -1), std::invalid_argument);
  EXPECT_THROW(EncodeFrame(Grey(16, 16), 4), std::invalid_argument);
}

TEST(EncodeStoredFrame, IsTheEntropyDataOfTheGivenTables) {
  const picture::PlanarPicture photo = testfiles::PlanarPhoto("astronaut", 160, 128);
  const codec::QuantPair tables = codec::LibraryBuiltInPair(0);
  const std::vector<uint8_t> stored = EncodeStoredFrame(photo, tables);
  EXPECT_EQ(stored, EncodeEntropyData(photo, tables));
  // Stored with the level-2 tables it is a level-2 frame without its header.
  const std::vector<uint8_t> frame = EncodeFrame(photo, 2);
  EXPECT_EQ(EncodeStoredFrame(photo, codec::DriverLevelPair(2)),
            std::vector<uint8_t>(frame.begin() + 15, frame.end()));
}

}  // namespace
}  // namespace ksv::simcam
