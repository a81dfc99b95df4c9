// Where the camera's form of a scan ends, behind the zero padding of the
// camera's memory: exactly where the encoder stopped, whatever the scan's
// last codes are; nothing for data that is no whole scan.
#include "codec/scan_extent.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "codec/tests/test_frames.h"

namespace ksv::codec {
namespace {

using testing::SymbolWriter;

std::optional<size_t> PaddedExtent(std::vector<uint8_t> entropy, uint32_t width,
                                   uint32_t height) {
  entropy.resize((entropy.size() / 64 + 2) * 64, 0);
  return ScanExtent(entropy, width, height, ScanBytes::kBare);
}

// libjpeg-turbo's scans of four photographs and a flat picture, at every
// quality the test data holds.
TEST(ScanExtent, EndsWhereTheEncoderStoppedInEveryTestFrame) {
  std::ifstream manifest(testing::TestDataPath("frames/manifest.txt"));
  ASSERT_TRUE(manifest) << "no frames/manifest.txt";
  std::string line;
  int frames = 0;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, flavour;
    uint32_t width = 0, height = 0;
    size_t dataLength = 0;
    fields >> name >> width >> height >> flavour >> dataLength;
    const std::vector<uint8_t> file =
        testing::ReadFile(testing::TestDataPath("frames/" + name + ".frame"));
    const size_t start = flavour[0] == 'L' ? 15 : 0;
    ASSERT_GE(file.size(), start + dataLength) << name;
    const auto from = file.begin() + static_cast<std::ptrdiff_t>(start);
    const std::vector<uint8_t> entropy(from, from + static_cast<std::ptrdiff_t>(dataLength));
    EXPECT_EQ(PaddedExtent(entropy, width, height), dataLength) << name;
    ++frames;
  }
  EXPECT_EQ(frames, 60);
}

// Hand-made scans for what a picture rarely shows: a scan whose last byte
// is zero bits of codes, blocks filled to their last coefficient without an
// end of block, long codes, and runs past a block's end.
TEST(ScanExtent, CodesAtTheEdgesOfBlocksAndScans) {
  // Flat macroblocks take 32 bits each: the scan ends on a byte of zeros.
  const std::vector<uint8_t> flat = testing::FlatFrame(20);
  const std::vector<uint8_t> flatScan(flat.begin() + 15, flat.end());
  ASSERT_EQ(flatScan.back(), 0);
  EXPECT_EQ(PaddedExtent(flatScan, 320, 16), flatScan.size());

  SymbolWriter full;
  full.Dc(true, 5);
  for (int k = 1; k < 64; ++k) full.Ac(true, 0, k % 2 == 0 ? 1 : -1);  // no end of block
  full.Dc(true, -300);
  full.Ac(true, 10, 40);  // a 16-bit code
  full.Ac(true, 15, 0);
  full.Ac(true, 15, 0);
  full.Ac(true, 15, 0);
  full.Ac(true, 3, 1);  // the 64th coefficient: the block is full
  full.FlatBlock(true);
  full.FlatBlock(true);
  full.Dc(false, 1);
  full.Ac(false, 15, 0);
  full.Ac(false, 15, 0);
  full.Ac(false, 15, 0);
  full.Ac(false, 14, 7);  // ends the block at its last coefficient
  full.FlatBlock(false);
  const std::vector<uint8_t> fullScan = full.Finish();
  EXPECT_EQ(PaddedExtent(fullScan, 16, 16), fullScan.size());
  EXPECT_EQ(PaddedExtent(fullScan, 16, 32), std::nullopt) << "a second macroblock of padding";

  SymbolWriter overrun;
  overrun.Dc(true, 0);
  overrun.Ac(true, 15, 0);
  overrun.Ac(true, 15, 0);
  overrun.Ac(true, 15, 0);
  overrun.Ac(true, 15, 1);  // position 64 and beyond
  for (int b = 0; b < 5; ++b) overrun.FlatBlock(b < 3);
  EXPECT_EQ(PaddedExtent(overrun.Finish(), 16, 16), std::nullopt);
}

}  // namespace
}  // namespace ksv::codec
