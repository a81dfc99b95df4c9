#include "support/test_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/temp_files.h"

namespace ksv::support {
namespace {

namespace fs = std::filesystem;

TEST(TestData, TheVariableWinsOverTheSearch) {
  testing::TempFolder folder;
  fs::create_directories(folder / "shared/testdata");
  EXPECT_EQ(FindTestDataDir("/some/data", folder.path()), fs::path("/some/data"));
  EXPECT_EQ(FindTestDataDir("", folder.path()), folder / "shared/testdata") << "empty is unset";
}

TEST(TestData, IsTheFirstSharedTestdataAboveTheStart) {
  testing::TempFolder folder;
  fs::create_directories(folder / "shared/testdata");
  fs::create_directories(folder / "project/shared/testdata");
  fs::create_directories(folder / "project/build/bin");
  fs::create_directories(folder / "other/build/bin");
  EXPECT_EQ(FindTestDataDir(nullptr, folder / "project/build/bin"),
            folder / "project/shared/testdata");
  EXPECT_EQ(FindTestDataDir(nullptr, folder / "other/build/bin"), folder / "shared/testdata");
}

TEST(TestData, NoneFoundIsAClearError) {
  testing::TempFolder folder;
  fs::create_directories(folder / "shared/testdata-not");
  try {
    const fs::path found = FindTestDataDir(nullptr, folder.path());
    // A machine may hold a shared/testdata above the temporary folder.
    EXPECT_NE(found.parent_path().parent_path(), folder.path());
  } catch (const TestDataNotFound& error) {
    EXPECT_NE(std::string(error.what()).find("KSV_TESTDATA_DIR"), std::string::npos);
    EXPECT_NE(std::string(error.what()).find(folder.path().string()), std::string::npos);
  }
}

// The tests run with the variable set by CTest, or found from the build
// folder beside shared/: either way it holds the photographs.
TEST(TestData, ThisCheckoutHasIt) {
  EXPECT_TRUE(fs::is_regular_file(TestDataPath("photos/astronaut.png"))) << TestDataDir();
}

}  // namespace
}  // namespace ksv::support
