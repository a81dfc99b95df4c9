// Our decoder against libjpeg-turbo on the same entropy data: the simulated
// camera's frames of the test photographs at every level, and the reference
// frames made with libjpeg. libjpeg decodes with its fast integer IDCT and
// nearest chroma upsampling, as the reference outputs were made. Our
// dequantisation keeps two fractional bits and our colour conversion floors,
// so small differences are expected. They are largest at level 0, whose
// steps of 1 and 2 lose most to the truncated multipliers. The bounds sit just
// above what was measured; a single wrong table entry or zig-zag position
// barely moves a picture's mean, which is why crosscheck_basis_test.cpp
// checks every coefficient position on its own.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "codec/frame_format.h"
#include "codec/quant_tables.h"
#include "codec/tests/crosscheck_fixture.h"
#include "codec/tests/crosscheck_support.h"
#include "simcam/frame_encoder.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/tests/libjpeg_oracle.h"
#include "simcam/tests/test_files.h"
#include "testing/temp_files.h"

namespace ksv::codec {
namespace {

using crosscheck::CrossCheck;
using crosscheck::DiffStats;
using crosscheck::kSizes;
using crosscheck::SizeName;
using simcam::oracle::DctMethod;
namespace oracle = simcam::oracle;
namespace testfiles = simcam::testfiles;

// The data length of a stored frame file: all but its 8 trailing zero bytes.
uint32_t StoredLength(const std::vector<uint8_t>& file) {
  return static_cast<uint32_t>(file.size() - 8);
}

TEST_F(CrossCheck, EncodedPhotosAtEveryLevel) {
  std::map<std::string, DiffStats> stats;
  for (int level = 0; level < kCompressionLevels; ++level) {
    const std::string prefix = "L" + std::to_string(level) + "_";
    for (FrameSize size : kSizes) {
      for (std::string_view photo : testfiles::kPhotos) {
        SCOPED_TRACE(std::string(photo) + " " + SizeName(size) + " level " + std::to_string(level));
        const picture::PlanarPicture picture =
            testfiles::PlanarPhoto(photo, size.width, size.height);
        const std::vector<uint8_t> frame = simcam::EncodeFrame(picture, level);
        const std::vector<uint8_t> jpeg =
            outside::bulk::WrapAsJpeg(std::span(frame).subspan(kFrameHeaderSize), DriverLevelPair(level),
                               size.width, size.height);

        if (const uint8_t* ours = DecodeFrame(frame, size, kCompressionI420)) {
          crosscheck::ComparePlanar(ours, oracle::DecodePlanar(jpeg, DctMethod::kFast).samples,
                                    stats[prefix + "planar"]);
        }
        if (const uint8_t* ours = DecodeFrame(frame, size, kCompressionRgb)) {
          crosscheck::CompareBgrBottomUp(ours, oracle::DecodeRgb(jpeg, DctMethod::kFast),
                                         stats[prefix + "bgr24"]);
        }
      }
    }
  }
  crosscheck::ReportAndCheck("encoded photos, our decoder vs libjpeg", stats,
                             // measured: mean / max
                             {{"L0_planar", {1.45, 45}},   // 1.342 / 40
                              {"L0_bgr24", {2.35, 46}},    // 2.165 / 41
                              {"L1_planar", {0.33, 12}},   // 0.292 / 9
                              {"L1_bgr24", {0.90, 13}},    // 0.825 / 10
                              {"L2_planar", {0.26, 9}},    // 0.231 / 6
                              {"L2_bgr24", {0.85, 11}},    // 0.773 / 8
                              {"L3_planar", {0.44, 15}},   // 0.397 / 12
                              {"L3_bgr24", {1.03, 16}}});  // 0.940 / 13
}

TEST_F(CrossCheck, ReferenceFramesWithHeaders) {
  std::map<std::string, DiffStats> stats;
  for (std::string_view photo : testfiles::kPhotos) {
    for (FrameSize size : kSizes) {
      for (int level = 0; level < kCompressionLevels; ++level) {
        const std::string name =
            std::string(photo) + "_" + SizeName(size) + "_L" + std::to_string(level);
        SCOPED_TRACE(name);
        const std::string base = testfiles::DataPath("frames/" + name);
        const std::vector<uint8_t> frame = ::ksv::testing::ReadFile(base + ".frame");
        const std::string prefix = "L" + std::to_string(level) + "_";
        // Planar references: every level at 160 x 128, L0 and L3 at 320 x 240.
        if (size.width == 160 || level == 0 || level == 3) {
          if (const uint8_t* ours = DecodeFrame(frame, size, kCompressionI420)) {
            crosscheck::ComparePlanar(ours, ::ksv::testing::ReadFile(base + ".ref.i420"),
                                      stats[prefix + "planar"]);
          }
        }
        // 24-bit references (bottom-up B, G, R after 54 bytes): 320 x 240 L3.
        if (size.width == 320 && level == 3) {
          const std::vector<uint8_t> bmp = ::ksv::testing::ReadFile(base + ".ref.bmp");
          ASSERT_EQ(bmp.size(), 54 + Rgb24Bytes(size));
          if (const uint8_t* ours = DecodeFrame(frame, size, kCompressionRgb)) {
            stats[prefix + "bgr24"].Add(ours, bmp.data() + 54, Rgb24Bytes(size));
          }
        }
      }
    }
  }
  crosscheck::ReportAndCheck("reference frames, our driver decoder vs libjpeg", stats,
                             // measured: mean / max
                             {{"L0_planar", {1.45, 47}},   // 1.332 / 42
                              {"L1_planar", {0.40, 12}},   // 0.364 / 9
                              {"L2_planar", {0.31, 9}},    // 0.283 / 6
                              {"L3_planar", {0.43, 15}},   // 0.392 / 12
                              {"L3_bgr24", {1.03, 15}}});  // 0.937 / 12
}

TEST_F(CrossCheck, StoredReferenceFrames) {
  // A stored frame file is the entropy data and 8 zero bytes; its data
  // length excludes those. The stored decoder's planar layout at width 160 is 160 x 112, so a
  // 160 x 128 frame is compared as 24-bit only. libjpeg's decode of the
  // frame's .jpg is the reference (the oracle tests show it reproduces the
  // reference files).
  std::map<std::string, DiffStats> stats;
  for (std::string_view photo : testfiles::kPhotos) {
    for (FrameSize size : kSizes) {
      for (const char* flavour : {"Q50", "Q85"}) {
        const std::string name = std::string(photo) + "_" + SizeName(size) + "_" + flavour;
        SCOPED_TRACE(name);
        const std::string base = testfiles::DataPath("frames/" + name);
        const std::vector<uint8_t> frame = ::ksv::testing::ReadFile(base + ".frame");
        const std::vector<uint8_t> qtab = ::ksv::testing::ReadFile(base + ".qtab");
        const std::vector<uint8_t> jpeg = ::ksv::testing::ReadFile(base + ".jpg");
        ASSERT_EQ(qtab.size(), 128u);
        ASSERT_GT(frame.size(), 8u);
        const std::span<const uint8_t, 128> tables(qtab.data(), 128);
        const std::string prefix = std::string(flavour) + "_";
        if (size.width == 320) {
          if (const uint8_t* ours =
                  DecodeStored(frame, StoredLength(frame), tables, size, OutputCode::kPlanar420)) {
            crosscheck::ComparePlanar(ours, oracle::DecodePlanar(jpeg, DctMethod::kFast).samples,
                                      stats[prefix + "planar"]);
          }
        }
        if (const uint8_t* ours =
                DecodeStored(frame, StoredLength(frame), tables, size, OutputCode::kBgr24)) {
          crosscheck::CompareBgrBottomUp(ours, oracle::DecodeRgb(jpeg, DctMethod::kFast),
                                         stats[prefix + "bgr24"]);
        }
      }
    }
  }
  crosscheck::ReportAndCheck("stored reference frames, our library decoder vs libjpeg", stats,
                             // measured: mean / max
                             {{"Q50_planar", {0.08, 4}},    // 0.070 / 2
                              {"Q50_bgr24", {0.71, 7}},     // 0.644 / 5
                              {"Q85_planar", {0.38, 14}},   // 0.347 / 11
                              {"Q85_bgr24", {1.03, 15}}});  // 0.940 / 12
}

TEST_F(CrossCheck, FlatFramesDecodeToMidGrey) {
  const std::vector<uint8_t> grey(Rgb24Bytes({320, 240}), 128);
  for (FrameSize size : kSizes) {
    for (const char* flavour : {"L0", "L1", "L2", "L3", "Q50", "Q85"}) {
      const std::string name = "flat_" + SizeName(size) + "_" + flavour;
      SCOPED_TRACE(name);
      const std::string base = testfiles::DataPath("frames/" + name);
      const std::vector<uint8_t> frame = ::ksv::testing::ReadFile(base + ".frame");
      if (flavour[0] == 'L') {
        for (uint32_t compression : {kCompressionI420, kCompressionRgb}) {
          const uint8_t* ours = DecodeFrame(frame, size, compression);
          const size_t bytes =
              compression == kCompressionRgb ? Rgb24Bytes(size) : PlanarBytes(size);
          EXPECT_TRUE(ours && std::equal(ours, ours + bytes, grey.begin())) << compression;
        }
      } else {
        const std::vector<uint8_t> qtab = ::ksv::testing::ReadFile(base + ".qtab");
        ASSERT_EQ(qtab.size(), 128u);
        const uint8_t* ours =
            DecodeStored(frame, StoredLength(frame),
                         std::span<const uint8_t, 128>(qtab.data(), 128), size, OutputCode::kBgr24);
        EXPECT_TRUE(ours && std::equal(ours, ours + Rgb24Bytes(size), grey.begin()));
      }
    }
  }
}

}  // namespace
}  // namespace ksv::codec
