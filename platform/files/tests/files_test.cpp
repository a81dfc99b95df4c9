#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  ::ksv::testing::TempFolder temp_;
  fs::path folder_ = temp_.path();
};

TEST_F(Files, TemporaryNamesAreFreshAndClaimed) {
  char first[260];
  char second[260];
  const UINT a = GetTempFileNameA(folder_.c_str(), "CLPX", 0, first);
  const UINT b = GetTempFileNameA(folder_.c_str(), "CLP", 0, second);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_STRNE(first, second);
  EXPECT_TRUE(fs::exists(first));
  EXPECT_EQ(fs::file_size(first), 0u);
  EXPECT_EQ(fs::path(first).parent_path(), folder_);
  const std::string name = fs::path(first).filename().string();
  EXPECT_EQ(name.substr(0, 3), "CLP");
  EXPECT_EQ(name.substr(name.size() - 4), ".TMP");

  // A given number is used as it is and nothing is created.
  char given[260];
  EXPECT_EQ(GetTempFileNameA(folder_.c_str(), "CLP", 0xAB, given), 0xABu);
  EXPECT_EQ(fs::path(given).filename(), "CLPAB.TMP");
  EXPECT_FALSE(fs::exists(given));

  EXPECT_EQ(GetTempFileNameA((folder_ / "missing").c_str(), "CLP", 0, given), 0u);
}

TEST_F(Files, FreeSpaceOfAFolder) {
  uint64_t available = 0, total = 0, free = 0;
  ASSERT_TRUE(GetDiskFreeSpaceExA(folder_.c_str(), &available, &total, &free));
  EXPECT_GT(total, 0u);
  EXPECT_LE(available, free);
  EXPECT_LE(free, total);
  EXPECT_FALSE(GetDiskFreeSpaceExA((folder_ / "missing").c_str(), &available, nullptr, nullptr));
}

}  // namespace
