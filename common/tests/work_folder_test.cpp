#include "common/work_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "testing/temp_files.h"

namespace ksv::common {
namespace {

namespace fs = std::filesystem;

// Handles of one process and of another each keep their own files; only
// the folders of owners that are gone are cleared, and a release removes
// its own folder alone.
TEST(WorkFolders, EachOwnerKeepsItsFilesUntilItLetsGo) {
  ::ksv::testing::TempFolder root;
  const std::string parent = (root / "RM900Clp").string();
  WorkFolder first, second;
  ASSERT_TRUE(first.Claim(parent));
  std::ofstream(first.path() + "CLP1.BMP") << "frame";
  ASSERT_TRUE(second.Claim(parent));
  EXPECT_NE(first.path(), second.path());
  EXPECT_TRUE(fs::exists(first.path() + "CLP1.BMP")) << "a second handle's claim deleted it";

  // Another process claims and ends without letting go; a third claim
  // clears its folder, and not the live ones.
  const pid_t child = ::fork();
  if (child == 0) {
    WorkFolder lost;
    if (!lost.Claim(parent)) ::_exit(1);
    std::ofstream(lost.path() + "CLP2.BMP") << "frame";
    ::_exit(0);  // no destructor: the process is gone, the folder stays
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(parent)) ++entries;
  EXPECT_EQ(entries, 6u);  // three folders, three lock files
  // A lock file still empty belongs to an owner being made: it stays.
  std::ofstream(parent + "/work-making.lock");
  std::ofstream(parent + "/notes.txt") << "not a work folder";
  EXPECT_EQ(RemoveAbandonedWorkFolders(parent), 1u);
  EXPECT_TRUE(fs::exists(first.path() + "CLP1.BMP"));
  EXPECT_TRUE(fs::exists(parent + "/work-making.lock"));
  EXPECT_TRUE(fs::exists(parent + "/notes.txt"));

  const std::string gone = second.path();
  second.Release();
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_TRUE(fs::exists(first.path() + "CLP1.BMP"));
  WorkFolder moved = std::move(first);
  EXPECT_FALSE(first.claimed());
  EXPECT_TRUE(fs::exists(moved.path() + "CLP1.BMP"));
}

TEST(WorkFolders, AParentThatCannotBeMadeClaimsNothing) {
  ::ksv::testing::TempFolder root;
  std::ofstream(root / "file") << "x";
  WorkFolder folder;
  EXPECT_FALSE(folder.Claim((root / "file" / "RM900Clp").string()));
  EXPECT_FALSE(folder.claimed());
  EXPECT_EQ(folder.path(), "");
}

}  // namespace
}  // namespace ksv::common
