#include "platform/version/version.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "testing/allocation_counter.h"
#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;

class Version : public ::testing::Test {
 protected:
  // A file with `before` bytes of something else in front of the resource.
  std::string WriteFile(const std::vector<uint8_t>& resource, size_t before = 20) {
    const fs::path path = folder_ / "DRIVER.SYS";
    std::ofstream out(path, std::ios::binary);
    out << std::string(before, 'x');
    out.write(reinterpret_cast<const char*>(resource.data()),
              static_cast<std::streamsize>(resource.size()));
    out << "trailing bytes";
    return path.string();
  }

  static ksv::platform::VersionInfo DriverInfo() {
    ksv::platform::VersionInfo info;
    info.fileVersion[0] = 1;
    info.fileVersion[1] = 2;
    info.fileVersion[2] = 3;
    info.fileVersion[3] = 4;
    info.texts = {{"CompanyName", "Tarvio"}, {"FileVersion", "1.2.3.4"}};
    return info;
  }

  ::ksv::testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
};

TEST_F(Version, TextsAndTranslationComeBackFromAFile) {
  const std::string file = WriteFile(ksv::platform::BuildVersionResource(DriverInfo()), 24);
  DWORD handle = 7;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
  ASSERT_GT(size, 0u);
  EXPECT_EQ(handle, 0u);
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, block.data()));
  EXPECT_FALSE(GetFileVersionInfoA(file.c_str(), 0, size - 1, block.data()));

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  uint16_t pair[2];
  std::memcpy(pair, value, 4);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 1200);

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value,
                             &length));
  EXPECT_STREQ(static_cast<const char*>(value), "1.2.3.4");
  EXPECT_EQ(length, 8u);
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\STRINGFILEINFO\\040904B0\\companyname", &value,
                             &length));
  EXPECT_STREQ(static_cast<const char*>(value), "Tarvio");

  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, 52u);
  uint32_t fixed[13];
  std::memcpy(fixed, value, sizeof fixed);
  EXPECT_EQ(fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(fixed[2], 0x00010002u);
  EXPECT_EQ(fixed[3], 0x00030004u);

  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName", &value,
                              &length));
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\04070000\\FileVersion", &value,
                              &length));
}

// Out of memory while reading the file is a failure, never an exception
// thrown at the C caller.
TEST_F(Version, AFailedAllocationIsAFailureNotAnException) {
  const std::string file = WriteFile(ksv::platform::BuildVersionResource(DriverInfo()));
  std::vector<uint8_t> block(4096);
  ksv::testing::FailAllocations(true);
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), nullptr);
  const BOOL read = GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data());
  ksv::testing::FailAllocations(false);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(read);
}

TEST_F(Version, FilesWithoutAWholeResourceHaveNone) {
  EXPECT_EQ(GetFileVersionInfoSizeA((folder_ / "missing.sys").c_str(), nullptr), 0u);
  EXPECT_EQ(GetFileVersionInfoSizeA(WriteFile({}).c_str(), nullptr), 0u);
  std::vector<uint8_t> resource = ksv::platform::BuildVersionResource(DriverInfo());
  // A block that claims more bytes than the file holds.
  std::vector<uint8_t> cut(resource.begin(), resource.begin() + 40);
  EXPECT_EQ(GetFileVersionInfoSizeA(WriteFile(cut, 0).c_str(), nullptr), 0u);
  // Damage inside: a string's length runs past its table. The file still
  // has a block, but the text is not found and nothing is read outside it.
  const std::string key = "FileVersion";
  for (size_t at = 0; at + 2 * key.size() < resource.size(); at += 2) {
    bool match = true;
    for (size_t i = 0; i < key.size() && match; ++i) match = resource[at + 2 * i] == key[i];
    if (match) {
      resource[at - 6] = 0xFF;
      resource[at - 5] = 0x7F;
      break;
    }
  }
  const std::string damaged = WriteFile(resource, 0);
  const DWORD size = GetFileVersionInfoSizeA(damaged.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(damaged.c_str(), 0, size, block.data()));
  void* value = nullptr;
  UINT length = 0;
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &value,
                              &length));
}

}  // namespace
