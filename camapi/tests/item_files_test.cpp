#include "camapi/item_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "camapi/tests/camapi_test_support.h"
#include "codec/scan_extent.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/frame_encoder.h"
#include "support/picture/colour.h"
#include "testing/djpeg_oracle.h"

namespace ksv::camapi {
namespace {

namespace fs = std::filesystem;

TEST(ItemFiles, StuffedFormStuffsEveryFFAndEndsWithEoi) {
  const fs::path path = fs::path(::testing::TempDir()) / "stuffed.jpg";
  std::vector<uint8_t> header(623, 0x11);
  std::vector<uint8_t> scratch;
  ASSERT_TRUE(WriteStuffedJpeg(path.c_str(), header, std::vector<uint8_t>{0xFF, 0x12, 0xFF}, scratch).ok);
  const std::vector<uint8_t> file = testing::ReadFile(path);
  ASSERT_EQ(file.size(), 623u + 7u);
  EXPECT_EQ(file[10], 0);  // the zero that ends "JFIF"
  EXPECT_EQ(file[11], 0x11);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 623, file.end()),
            (std::vector<uint8_t>{0xFF, 0x00, 0x12, 0xFF, 0x00, 0xFF, 0xD9}));

  ASSERT_TRUE(WritePlainJpeg(path.c_str(), header, std::vector<uint8_t>{0xFF, 0x00, 0xFF, 0xD9}, scratch).ok);
  const std::vector<uint8_t> plain = testing::ReadFile(path);
  ASSERT_EQ(plain.size(), 627u);
  EXPECT_EQ(plain[10], 0);
  EXPECT_EQ(std::vector<uint8_t>(plain.begin() + 623, plain.end()),
            (std::vector<uint8_t>{0xFF, 0x00, 0xFF, 0xD9}));
  fs::remove(path);
}

// The camera pads a picture's data with zeros to its memory's 64-byte grid;
// both written forms end at the scan, so libjpeg finds nothing extraneous
// before EOI, and the pixels are those of the data without its padding.
TEST(ItemFiles, PicturesEndWhereTheirScanEndsNotAtThePadding) {
  picture::RgbPicture scene = picture::BlankRgb(320, 240);
  for (size_t i = 0; i < scene.pixels.size(); ++i) {
    scene.pixels[i] = static_cast<uint8_t>(i * 7 % 251);
  }
  const codec::QuantPair tables = codec::ScaledAnnexKPair(50);
  const std::vector<uint8_t> entropy =
      simcam::EncodeStoredFrame(picture::RgbToPlanar(scene), tables);
  // Stuffing is exercised.
  ASSERT_NE(std::find(entropy.begin(), entropy.end(), 0xFF), entropy.end());
  const auto header = outside::bulk::StoredPictureHeader(tables, 320, 240);
  std::vector<uint8_t> padded = entropy;
  padded.resize((entropy.size() / 64 + 2) * 64, 0);
  EXPECT_EQ(codec::ScanExtent(padded, 320, 240, codec::ScanBytes::kBare), entropy.size());
  EXPECT_EQ(codec::ScanExtent(std::span(entropy).first(entropy.size() - 1), 320, 240,
                              codec::ScanBytes::kBare),
            std::nullopt);  // data that ends early is kept whole

  const fs::path reference = fs::path(::testing::TempDir()) / "reference.jpg";
  ksv::testing::WriteFile(reference, outside::bulk::WrapAsJpeg(entropy, tables, 320, 240));
  const ksv::testing::DjpegRun expected = ksv::testing::RunDjpeg(reference);
  ASSERT_EQ(expected.status, 0) << expected.messages;

  const fs::path path = fs::path(::testing::TempDir()) / "padded.jpg";
  std::vector<uint8_t> scratch;
  ASSERT_TRUE(WriteStuffedJpeg(path.c_str(), header, padded, scratch).ok);
  ksv::testing::DjpegRun run = ksv::testing::RunDjpeg(path);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.messages, "");
  EXPECT_EQ(run.pixels, expected.pixels);

  std::vector<uint8_t> stuffed;
  outside::bulk::AppendStuffed(entropy, stuffed);
  stuffed.resize(stuffed.size() + 40, 0);
  outside::bulk::AppendEndOfImage(stuffed);
  ASSERT_TRUE(WritePlainJpeg(path.c_str(), header, stuffed, scratch).ok);
  run = ksv::testing::RunDjpeg(path);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.messages, "");
  EXPECT_EQ(run.pixels, expected.pixels);
  fs::remove(path);
  fs::remove(reference);
}

// Zero bytes at the scan's end are codes, not padding (a flat macroblock's
// chroma blocks are eight zero bits): only walking the scan tells them
// apart, in either form, for flat, smooth and noisy pictures alike.
TEST(ItemFiles, TheScansEndIsFoundWhereverItsLastCodesAreZeroBits) {
  const codec::QuantPair tables = codec::ScaledAnnexKPair(50);
  std::vector<picture::RgbPicture> scenes;
  bool endsInZero = false;
  for (int grey = 0; grey < 256 && !endsInZero; ++grey) {
    picture::RgbPicture flat = picture::BlankRgb(64, 48);
    std::fill(flat.pixels.begin(), flat.pixels.end(), static_cast<uint8_t>(grey));
    endsInZero = simcam::EncodeStoredFrame(picture::RgbToPlanar(flat), tables).back() == 0;
    if (endsInZero) scenes.push_back(flat);
  }
  ASSERT_TRUE(endsInZero) << "no flat picture whose scan ends in a zero byte";
  for (uint32_t seed : {1u, 7u, 12345u}) {
    picture::RgbPicture scene = picture::BlankRgb(176, 144);
    uint32_t noise = seed;
    for (size_t i = 0; i < scene.pixels.size(); ++i) {
      noise = noise * 1103515245u + 12345u;
      scene.pixels[i] = static_cast<uint8_t>(seed == 1 ? i / 3 % 176 : noise >> 24);
    }
    scenes.push_back(scene);
  }
  for (const picture::RgbPicture& scene : scenes) {
    const std::vector<uint8_t> entropy =
        simcam::EncodeStoredFrame(picture::RgbToPlanar(scene), tables);
    std::vector<uint8_t> padded = entropy;
    padded.resize((entropy.size() / 64 + 1) * 64, 0);
    EXPECT_EQ(codec::ScanExtent(padded, scene.width, scene.height, codec::ScanBytes::kBare),
              entropy.size());
    std::vector<uint8_t> stuffed;
    outside::bulk::AppendStuffed(entropy, stuffed);
    const size_t stuffedSize = stuffed.size();
    stuffed.resize(stuffedSize + 64, 0);
    EXPECT_EQ(codec::ScanExtent(stuffed, scene.width, scene.height, codec::ScanBytes::kStuffed),
              stuffedSize);
  }
}

TEST(ItemFiles, RawBytesRotateRightByTwo) {
  const fs::path path = fs::path(::testing::TempDir()) / "raw.bin";
  std::vector<uint8_t> scratch;
  ASSERT_TRUE(WriteRotatedRaw(path.c_str(), std::vector<uint8_t>{0x01, 0x80, 0x03, 0xFC}, scratch).ok);
  EXPECT_EQ(testing::ReadFile(path), (std::vector<uint8_t>{0x40, 0x20, 0xC0, 0x3F}));
  fs::remove(path);
}

TEST(ItemFiles, FailedWritesSayWhyAndLeaveNoFile) {
  std::vector<uint8_t> scratch;
  const fs::path missing = fs::path(::testing::TempDir()) / "no-such-folder" / "x.jpg";
  const WriteOutcome outcome = WriteRotatedRaw(missing.c_str(), std::vector<uint8_t>{1}, scratch);
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(DiskNearlyFull(missing.c_str(), outcome));
  const WriteOutcome full = WriteRotatedRaw("/dev/full", std::vector<uint8_t>(100, 1), scratch);
  EXPECT_FALSE(full.ok);
  EXPECT_TRUE(DiskNearlyFull("/dev/full", full));
  EXPECT_TRUE(fs::exists("/dev/full"));
  EXPECT_FALSE(WriteRotatedRaw("", std::vector<uint8_t>{1}, scratch).ok);
}

}  // namespace
}  // namespace ksv::camapi
