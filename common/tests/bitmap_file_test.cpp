#include "common/bitmap_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/tests/bitmap_test_support.h"
#include "support/byte_order.h"

namespace ksv::common {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class BitmapFile : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name) { return fs::path(::testing::TempDir()) / name; }
};

TEST_F(BitmapFile, WritesTheFileHeaderAndReadsItBack) {
  HGLOBAL bitmap = testing::BitmapWithRows(3, 2, 24, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7}});
  // A stale image size is recomputed and written back.
  static_cast<BITMAPINFOHEADER*>(GlobalLock(bitmap))->biSizeImage = 5;
  GlobalUnlock(bitmap);
  const fs::path path = Path("three_by_two.bmp");
  ASSERT_TRUE(WriteBitmapFile(path.c_str(), bitmap));
  const std::vector<uint8_t> file = ReadAll(path);
  ASSERT_EQ(file.size(), 14u + 40u + 24u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(support::LoadLe32(file, 2), file.size());
  EXPECT_EQ(support::LoadLe32(file, 6), 0u);
  EXPECT_EQ(support::LoadLe32(file, 10), 54u);
  EXPECT_EQ(support::LoadLe32(file, 14 + 20), 24u);  // biSizeImage
  EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(GlobalLock(bitmap))->biSizeImage, 24u);
  GlobalUnlock(bitmap);

  HGLOBAL back = ReadBitmapFile(path.c_str());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(GlobalSize(back), 64u);
  EXPECT_EQ(std::memcmp(GlobalLock(back), GlobalLock(bitmap), 64), 0);
  GlobalUnlock(back);
  GlobalUnlock(bitmap);
  GlobalFree(back);
  GlobalFree(bitmap);
}

TEST_F(BitmapFile, EightBitFilesCarryTheirColourTable) {
  HGLOBAL bitmap = CreatePackedBitmap(4, 1, 8);
  const fs::path path = Path("grey.bmp");
  ASSERT_TRUE(WriteBitmapFile(path.c_str(), bitmap));
  const std::vector<uint8_t> file = ReadAll(path);
  EXPECT_EQ(file.size(), 14u + 40u + 1024u + 4u);
  EXPECT_EQ(support::LoadLe32(file, 10), 14u + 40u + 1024u);
  GlobalFree(bitmap);
}

TEST_F(BitmapFile, RefusesBlocksAndFilesThatAreNotWholeBitmaps) {
  HGLOBAL tooSmall = GlobalAlloc(GHND, 20);
  EXPECT_FALSE(WriteBitmapFile(Path("small.bmp").c_str(), tooSmall));
  GlobalFree(tooSmall);
  HGLOBAL lying = CreatePackedBitmap(4, 4, 24);
  static_cast<BITMAPINFOHEADER*>(GlobalLock(lying))->biWidth = 4000;
  GlobalUnlock(lying);
  EXPECT_FALSE(WriteBitmapFile(Path("lying.bmp").c_str(), lying));
  GlobalFree(lying);

  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  };
  EXPECT_EQ(ReadBitmapFile(write("short.bmp", {'B', 'M', 0}).c_str()), nullptr);
  std::vector<uint8_t> notBm(100, 0);
  EXPECT_EQ(ReadBitmapFile(write("notbm.bmp", notBm).c_str()), nullptr);
  // A whole file cut short inside its pixels.
  HGLOBAL bitmap = CreatePackedBitmap(8, 8, 24);
  ASSERT_TRUE(WriteBitmapFile(Path("whole.bmp").c_str(), bitmap));
  GlobalFree(bitmap);
  std::vector<uint8_t> cut = ReadAll(Path("whole.bmp"));
  cut.resize(cut.size() - 10);
  EXPECT_EQ(ReadBitmapFile(write("cut.bmp", cut).c_str()), nullptr);
  EXPECT_EQ(ReadBitmapFile(Path("missing.bmp").c_str()), nullptr);
}

}  // namespace
}  // namespace ksv::common
