// PendingFile on its own: bytes at any position, nothing under the name
// until the commit, nothing left behind otherwise.
#include "platform/media/filters/file_writer/pending_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/win32_errors.h"
#include "testing/temp_files.h"

namespace {

using ksv::media::filters::PendingFile;
namespace fs = std::filesystem;

std::string Text(const fs::path& path) {
  const auto bytes = ksv::testing::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

size_t Entries(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(PendingFile, AppearsOnlyWhenCommittedWithExactlyTheWrittenBytes) {
  ksv::testing::TempFolder folder;
  const fs::path target = folder / "out.bin";
  // An older and longer file of that name is replaced whole.
  ksv::testing::WriteFile(target, std::vector<uint8_t>(100, 'x'));
  PendingFile file;
  ASSERT_EQ(file.Open(target.string()), S_OK);
  EXPECT_EQ(fs::path(file.TemporaryPath()).parent_path(), folder.path());
  ASSERT_EQ(file.WriteAt(4, "tail", 4), S_OK);
  ASSERT_EQ(file.WriteAt(0, "head", 4), S_OK);
  ASSERT_EQ(file.WriteAt(10, "!", 1), S_OK);  // a gap reads as zeros
  EXPECT_EQ(file.Size(), 11u);
  EXPECT_EQ(Text(target), std::string(100, 'x'));
  ASSERT_EQ(file.Commit(), S_OK);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(Text(target), std::string("headtail\0\0!", 11));
  EXPECT_EQ(Entries(folder.path()), 1u);
  // The file has the permissions a newly created one would.
  const mode_t mask = umask(0);
  umask(mask);
  struct stat status{};
  ASSERT_EQ(stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666u & ~mask);
}

TEST(PendingFile, DiscardReopenAndDestructionLeaveNothing) {
  ksv::testing::TempFolder folder;
  const fs::path target = folder / "out.bin";
  {
    PendingFile file;
    ASSERT_EQ(file.Open(target.string()), S_OK);
    ASSERT_EQ(file.WriteAt(0, "abc", 3), S_OK);
    const std::string first = file.TemporaryPath();
    ASSERT_EQ(file.Open(target.string()), S_OK);  // the first one goes
    EXPECT_FALSE(fs::exists(first));
    EXPECT_EQ(Entries(folder.path()), 1u);
    file.Discard();
    EXPECT_EQ(Entries(folder.path()), 0u);
    EXPECT_EQ(file.WriteAt(0, "x", 1), E_UNEXPECTED);
    EXPECT_EQ(file.Commit(), E_UNEXPECTED);
    ASSERT_EQ(file.Open(target.string()), S_OK);
  }
  EXPECT_EQ(Entries(folder.path()), 0u);
}

TEST(PendingFile, MissingFolderAndFailedRenameReportTheError) {
  ksv::testing::TempFolder folder;
  PendingFile file;
  EXPECT_EQ(file.Open((folder / "missing" / "out.bin").string()),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(file.IsOpen());
  // A folder in the target's place: the rename fails and the temporary
  // file goes.
  fs::create_directory(folder / "taken");
  fs::create_directory(folder / "taken" / "inside");
  ASSERT_EQ(file.Open((folder / "taken").string()), S_OK);
  ASSERT_EQ(file.WriteAt(0, "abc", 3), S_OK);
  EXPECT_TRUE(FAILED(file.Commit()));
  EXPECT_EQ(Entries(folder.path()), 1u);
  EXPECT_TRUE(fs::is_directory(folder / "taken"));
}

}  // namespace
