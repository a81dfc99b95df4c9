#include "common/driver_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/version/version.h"
#include "testing/temp_files.h"

namespace ksv::common {
namespace {

TEST(DriverFiles, AreWrittenOnceWithTheirVersionResource) {
  ksv::testing::TempFolder root;
  const auto written = InstallDriverFiles(root.path(), "1.2.3");
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], root.path() / "system32" / "drivers" / "OKSV1VID.SYS");
  EXPECT_TRUE(InstallDriverFiles(root.path(), "1.2.3").empty()) << "kept when there";

  const std::string path = written[1].string();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &fixed, &length));
  uint32_t versionMs = 0;
  std::memcpy(&versionMs, static_cast<uint8_t*>(fixed) + 8, 4);  // dwFileVersionMS
  EXPECT_EQ(versionMs, (1u << 16) | 2u);
}

}  // namespace
}  // namespace ksv::common
