#include <gtest/gtest.h>

#include "codec/annex_k.h"
#include "simcam/frame_encoder.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/tests/libjpeg_oracle.h"
#include "simcam/tests/test_files.h"

namespace ksv::outside::bulk {

// The simulated camera and its test support make what these tests read.
using namespace simcam;
namespace {

// Marker and length of each segment from SOI up to and including SOS.
std::vector<std::pair<uint8_t, size_t>> Segments(std::span<const uint8_t> header) {
  std::vector<std::pair<uint8_t, size_t>> segments = {{header[1], 0}};
  size_t at = 2;
  while (at + 4 <= header.size()) {
    const size_t length = size_t{header[at + 2]} << 8 | header[at + 3];
    segments.push_back({header[at + 1], length});
    at += 2 + length;
  }
  EXPECT_EQ(at, header.size());
  return segments;
}

TEST(StoredPictureHeader, GivesEachTableItsOwnSegmentIn623Bytes) {
  const codec::QuantPair tables = codec::ScaledAnnexKPair(30);
  const auto header = StoredPictureHeader(tables, 640, 480);
  ASSERT_EQ(header.size(), 623u);
  EXPECT_EQ(std::string(header.begin() + 6, header.begin() + 10), "JFIF");
  EXPECT_EQ(header[10], 0);  // may be zeroed without harm: it is the zero
  const std::vector<std::pair<uint8_t, size_t>> expected = {
      {0xD8, 0},  {0xE0, 16},  {0xDB, 67}, {0xDB, 67},  {0xC0, 17},
      {0xC4, 31}, {0xC4, 181}, {0xC4, 31}, {0xC4, 181}, {0xDA, 12}};
  EXPECT_EQ(Segments(header), expected);
  // SOF0 carries the size: 480 rows of 640.
  EXPECT_EQ(header[2 + 18 + 138 + 5], 480 >> 8);
  EXPECT_EQ(header[2 + 18 + 138 + 6], 480 & 0xFF);
  EXPECT_EQ(header[2 + 18 + 138 + 8], 640 & 0xFF);
  // The second DQT holds the chrominance table, in zig-zag order.
  EXPECT_EQ(header[2 + 18 + 69 + 4], 1);
  EXPECT_EQ(header[2 + 18 + 69 + 5 + 2], tables.chrominance[codec::kZigZag[2]]);
}

TEST(StoredPictureHeader, WithTheStuffedDataItIsTheSamePictureAsTheWrappedFile) {
  const codec::QuantPair tables = codec::ScaledAnnexKPair(60);
  const picture::PlanarPicture photo = testfiles::PlanarPhoto("astronaut", 160, 128);
  const std::vector<uint8_t> entropy = EncodeEntropyData(photo, tables);
  const auto header = StoredPictureHeader(tables, 160, 128);
  std::vector<uint8_t> file(header.begin(), header.end());
  AppendStuffed(entropy, file);
  AppendEndOfImage(file);
  const picture::PlanarPicture ours = oracle::DecodePlanar(file, oracle::DctMethod::kFast);
  const picture::PlanarPicture wrapped =
      oracle::DecodePlanar(WrapAsJpeg(entropy, tables, 160, 128), oracle::DctMethod::kFast);
  EXPECT_EQ(ours.width, 160u);
  EXPECT_TRUE(ours.samples == wrapped.samples);
}

}  // namespace
}  // namespace ksv::outside::bulk
