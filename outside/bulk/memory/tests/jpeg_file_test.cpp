#include "outside/bulk/memory/jpeg_file.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "codec/annex_k.h"
#include "codec/frame_format.h"
#include "codec/quant_tables.h"
#include "simcam/tests/libjpeg_oracle.h"
#include "simcam/tests/test_files.h"
#include "testing/temp_files.h"

namespace ksv::outside::bulk {

// The simulated camera and its test support make what these tests read.
using namespace simcam;
namespace {

struct Segment {
  uint8_t marker;
  std::vector<uint8_t> payload;  // after the length field
};

// The marker segments before the scan data, SOS included.
std::vector<Segment> HeaderSegments(const std::vector<uint8_t>& jpeg) {
  std::vector<Segment> segments;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    segments.push_back({marker,
                        {jpeg.begin() + static_cast<std::ptrdiff_t>(at + 4),
                         jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + length)}});
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  return segments;
}

codec::QuantPair DistinctTables() {
  codec::QuantPair tables;
  for (uint8_t i = 0; i < 64; ++i) {
    tables.luminance[i] = static_cast<uint8_t>(1 + i);
    tables.chrominance[i] = static_cast<uint8_t>(100 + i);
  }
  return tables;
}

TEST(WrapAsJpeg, WritesBaselineSegmentsWithTablesInZigZagOrder) {
  const std::vector<uint8_t> data = {0x28, 0xA2, 0x8A, 0x00};
  const std::vector<uint8_t> jpeg = WrapAsJpeg(data, DistinctTables(), 320, 240);
  ASSERT_GE(jpeg.size(), 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);

  const std::vector<Segment> segments = HeaderSegments(jpeg);
  std::vector<uint8_t> markers;
  for (const Segment& s : segments) markers.push_back(s.marker);
  ASSERT_EQ(markers, (std::vector<uint8_t>{0xE0, 0xDB, 0xC0, 0xC4, 0xDA}));

  const std::vector<uint8_t>& dqt = segments[1].payload;
  ASSERT_EQ(dqt.size(), 130u);
  EXPECT_EQ(dqt[0], 0x00);
  EXPECT_EQ(dqt[65], 0x01);
  for (size_t k = 0; k < 64; ++k) {
    EXPECT_EQ(dqt[1 + k], 1 + codec::kZigZag[k]) << "luminance, zig-zag " << k;
    EXPECT_EQ(dqt[66 + k], 100 + codec::kZigZag[k]) << "chrominance, zig-zag " << k;
  }
  // 8-bit, 240 rows, 320 columns, Y 2x2 table 0, Cb and Cr 1x1 table 1.
  EXPECT_EQ(segments[2].payload,
            (std::vector<uint8_t>{8, 0, 240, 1, 64, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
  // All three components, DC/AC tables 0 for Y and 1 for chroma, 0..63.
  EXPECT_EQ(segments[4].payload, (std::vector<uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
}

TEST(WrapAsJpeg, DefinesTheFourAnnexKHuffmanTables) {
  const std::vector<uint8_t> jpeg = WrapAsJpeg({}, codec::DriverLevelPair(0), 16, 16);
  const std::vector<Segment> segments = HeaderSegments(jpeg);
  ASSERT_EQ(segments.size(), 5u);
  const std::vector<uint8_t>& dht = segments[3].payload;
  struct Expected {
    uint8_t classAndId;
    const codec::HuffmanSpec& spec;
  };
  const Expected tables[] = {{0x00, codec::kLuminanceDc},
                             {0x10, codec::kLuminanceAc},
                             {0x01, codec::kChrominanceDc},
                             {0x11, codec::kChrominanceAc}};
  size_t at = 0;
  for (const Expected& t : tables) {
    ASSERT_LE(at + 17 + t.spec.symbols.size(), dht.size());
    EXPECT_EQ(dht[at], t.classAndId);
    EXPECT_TRUE(std::equal(t.spec.counts.begin(), t.spec.counts.end(), dht.begin() + at + 1));
    EXPECT_TRUE(std::equal(t.spec.symbols.begin(), t.spec.symbols.end(), dht.begin() + at + 17));
    at += 17 + t.spec.symbols.size();
  }
  EXPECT_EQ(at, dht.size());
}

TEST(WrapAsJpeg, StuffsAZeroAfterEveryFfByte) {
  const std::vector<uint8_t> data = {0xFF, 0x12, 0xFF, 0xFF, 0x00};
  const std::vector<uint8_t> jpeg = WrapAsJpeg(data, codec::DriverLevelPair(1), 16, 16);
  const std::vector<uint8_t> stuffed = {0xFF, 0x00, 0x12, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xD9};
  ASSERT_GT(jpeg.size(), stuffed.size());
  EXPECT_TRUE(std::equal(stuffed.begin(), stuffed.end(), jpeg.end() - 10));
  EXPECT_EQ(oracle::ScanData(jpeg), data);
}

TEST(WrapAsJpeg, RefusesSizesAJpegCannotHold) {
  const codec::QuantPair tables = codec::DriverLevelPair(0);
  EXPECT_THROW(WrapAsJpeg({}, tables, 0, 16), std::invalid_argument);
  EXPECT_THROW(WrapAsJpeg({}, tables, 16, 65536), std::invalid_argument);
}

// The reference frames were cut from ordinary JPEG files. Re-wrapping their
// entropy data must give libjpeg exactly the same picture as those files.
struct ReferenceFrame {
  std::string stem;  // e.g. "coffee_320x240_L3"
  uint32_t width;
  uint32_t height;
  bool stored;  // Q50 / Q85: no header, tables in the .qtab file
};

std::vector<ReferenceFrame> ContainerCases() {
  std::vector<ReferenceFrame> cases;
  for (std::string_view photo : testfiles::kPhotos) {
    for (auto [w, h] : {std::pair{320u, 240u}, {160u, 128u}}) {
      const std::string prefix =
          std::string(photo) + "_" + std::to_string(w) + "x" + std::to_string(h) + "_";
      cases.push_back({prefix + "L3", w, h, false});
      cases.push_back({prefix + "Q50", w, h, true});
    }
  }
  return cases;
}

TEST(WrapAsJpeg, ReferenceFramesDecodeLikeTheirJpegFiles) {
  for (const ReferenceFrame& c : ContainerCases()) {
    SCOPED_TRACE(c.stem);
    const std::string base = testfiles::DataPath("frames/" + c.stem);
    const std::vector<uint8_t> frame = ::ksv::testing::ReadFile(base + ".frame");
    const std::vector<uint8_t> original = ::ksv::testing::ReadFile(base + ".jpg");
    const size_t offset = c.stored ? 0 : codec::kFrameHeaderSize;
    ASSERT_GT(frame.size(), offset + 8);
    const std::vector<uint8_t> entropy(frame.begin() + static_cast<std::ptrdiff_t>(offset),
                                       frame.end() - 8);
    codec::QuantPair tables = codec::DriverLevelPair(3);
    if (c.stored) {
      const std::vector<uint8_t> qtab = ::ksv::testing::ReadFile(base + ".qtab");
      ASSERT_EQ(qtab.size(), 128u);
      tables = codec::QuantPairFromBytes(std::span<const uint8_t, 128>(qtab.data(), 128));
    }
    EXPECT_EQ(oracle::ScanData(original), entropy);

    const std::vector<uint8_t> wrapped = WrapAsJpeg(entropy, tables, c.width, c.height);
    const picture::PlanarPicture ours = oracle::DecodePlanar(wrapped, oracle::DctMethod::kFast);
    const picture::PlanarPicture theirs = oracle::DecodePlanar(original, oracle::DctMethod::kFast);
    EXPECT_EQ(ours.width, c.width);
    EXPECT_EQ(ours.height, c.height);
    EXPECT_TRUE(ours.samples == theirs.samples);
    EXPECT_TRUE(oracle::ReadCoefficients(wrapped).components ==
                oracle::ReadCoefficients(original).components);
  }
}

// The oracle's decode settings reproduce the reference outputs exactly.
TEST(LibjpegOracle, ReproducesTheReferenceOutputs) {
  for (std::string_view photo : testfiles::kPhotos) {
    SCOPED_TRACE(photo);
    const std::string base = testfiles::DataPath("frames/" + std::string(photo) + "_320x240_L3");
    const std::vector<uint8_t> jpeg = ::ksv::testing::ReadFile(base + ".jpg");
    EXPECT_TRUE(oracle::DecodePlanar(jpeg, oracle::DctMethod::kFast).samples ==
                ::ksv::testing::ReadFile(base + ".ref.i420"));

    // The BMP is bottom-up B, G, R after a 54-byte header.
    const std::vector<uint8_t> bmp = ::ksv::testing::ReadFile(base + ".ref.bmp");
    const picture::RgbPicture rgb = oracle::DecodeRgb(jpeg, oracle::DctMethod::kFast);
    ASSERT_EQ(bmp.size(), 54 + rgb.pixels.size());
    size_t mismatches = 0;
    for (size_t row = 0; row < 240; ++row) {
      const uint8_t* bgr = bmp.data() + 54 + (239 - row) * 320 * 3;
      const uint8_t* pixel = rgb.pixels.data() + row * 320 * 3;
      for (size_t i = 0; i < 320 * 3; i += 3) {
        mismatches +=
            bgr[i] != pixel[i + 2] || bgr[i + 1] != pixel[i + 1] || bgr[i + 2] != pixel[i];
      }
    }
    EXPECT_EQ(mismatches, 0u);
  }
}

}  // namespace
}  // namespace ksv::outside::bulk
