#include "support/test_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "support/shipped_data.h"
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

// The photographs the tool ships lie in share/ksv/photos of its tree, found
// from bin/ (the program) and from lib/ksv/ (a module), with no folder
// beside the project.
TEST(ShippedData, PhotosAreFoundFromTheProgramAndFromAModule) {
  testing::TempFolder folder;
  const fs::path tree = folder / "prefix";
  fs::create_directories(tree / "share/ksv/photos");
  fs::create_directories(tree / "bin");
  fs::create_directories(tree / "lib/ksv");
  EXPECT_EQ(FindShippedPhotos({tree / "bin"}), tree / "share/ksv/photos");
  EXPECT_EQ(FindShippedPhotos({{}, tree / "lib/ksv"}), tree / "share/ksv/photos");
  EXPECT_EQ(FindShippedPhotos({folder / "elsewhere/bin"}), fs::path());
  // The build copies them into its own share/ksv/photos.
  EXPECT_TRUE(fs::is_regular_file(fs::path(KSV_BINARY_DIR) / "share/ksv/photos/astronaut.png"));
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(KSV_BINARY_DIR) / "share/ksv/photos"),
                          fs::directory_iterator()),
            4)
      << "the four photographs and nothing a listing would pass over";
}

}  // namespace
}  // namespace ksv::support
