#include "common/folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "testing/temp_files.h"

namespace ksv::common {
namespace {

namespace fs = std::filesystem;

class Folders : public ::testing::Test {
 protected:
  ::ksv::testing::TempFolder folder_;
  fs::path root_ = folder_.path();
};

TEST_F(Folders, ProbeLeavesNothingBehind) {
  EXPECT_TRUE(ProbeFolder(root_.string()));
  EXPECT_TRUE(fs::is_empty(root_));
  EXPECT_FALSE(ProbeFolder((root_ / "missing").string()));
  EXPECT_FALSE(ProbeFolder(""));
}

// A person's own file of the probe's name, anywhere along a chain, is
// neither truncated nor deleted.
TEST_F(Folders, ProbesNeverTouchAnExistingFileOfTheirName) {
  std::ofstream(root_ / kProbeFileName) << "mine";
  EXPECT_TRUE(ProbeFolder(root_.string()));
  EXPECT_TRUE(CreateFolderChain((root_ / "x" / "y").string()));
  std::ifstream kept(root_ / kProbeFileName);
  std::string text;
  kept >> text;
  EXPECT_EQ(text, "mine");
  EXPECT_TRUE(fs::is_directory(root_ / "x" / "y"));
}

TEST_F(Folders, ChainsAreMadeLevelByLevel) {
  const fs::path deep = root_ / "a" / "b" / "c";
  EXPECT_TRUE(CreateFolderChain(deep.string()));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(fs::is_empty(deep));
  EXPECT_TRUE(CreateFolderChain(deep.string() + "/"));  // already there
  EXPECT_FALSE(CreateFolderChain(""));
  EXPECT_FALSE(CreateFolderChain(std::string(600, 'x')));
  // A plain file in the way cannot become a folder.
  std::ofstream(root_ / "file") << "x";
  EXPECT_FALSE(CreateFolderChain((root_ / "file" / "below").string()));
}

TEST_F(Folders, OnlyPlainFilesAreListedAndDeleted) {
  std::ofstream(root_ / "b.bmp") << "x";
  std::ofstream(root_ / "a.pro") << "x";
  fs::create_directory(root_ / "sub");
  std::ofstream(root_ / "sub" / "kept") << "x";
  EXPECT_EQ(ListPlainFiles(root_.string()), (std::vector<std::string>{"a.pro", "b.bmp"}));
  EXPECT_EQ(DeletePlainFiles(root_.string()), 0u);
  EXPECT_TRUE(ListPlainFiles(root_.string()).empty());
  EXPECT_TRUE(fs::exists(root_ / "sub" / "kept"));
  EXPECT_EQ(DeletePlainFiles((root_ / "missing").string()), 0u);
}

}  // namespace
}  // namespace ksv::common
