#include "camapi/item_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "camapi/tests/camapi_test_support.h"

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
