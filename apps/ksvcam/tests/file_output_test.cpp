#include "apps/ksvcam/file_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!'};

TEST(WriteWholeFile, CreatesTheFileAndLeavesNoTemporary) {
  TempFolder folder;
  WriteWholeFile(folder / "a.bin", kNew, ExistingFile::kKeep);
  EXPECT_EQ(ReadBytes(folder / "a.bin"), kNew);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

TEST(WriteWholeFile, ReplacesAnExistingFileWhenAsked) {
  TempFolder folder;
  WriteBytes(folder / "a.bin", kOld);
  WriteWholeFile(folder / "a.bin", kNew, ExistingFile::kReplace);
  EXPECT_EQ(ReadBytes(folder / "a.bin"), kNew);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

TEST(WriteWholeFile, KeepsAnExistingFileUntouchedOtherwise) {
  TempFolder folder;
  WriteBytes(folder / "a.bin", kOld);
  try {
    WriteWholeFile(folder / "a.bin", kNew, ExistingFile::kKeep);
    FAIL() << "overwrote an existing file";
  } catch (const CommandFailure& failure) {
    EXPECT_NE(std::string(failure.what()).find("a.bin"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(folder / "a.bin"), kOld);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

TEST(WriteWholeFile, FailsCleanlyInAMissingFolder) {
  TempFolder folder;
  EXPECT_THROW(WriteWholeFile(folder / "no" / "a.bin", kNew, ExistingFile::kReplace),
               CommandFailure);
  EXPECT_TRUE(Names(folder.path()).empty());
}

TEST(WriteWholeFile, GivesTheUsualPermissions) {
  TempFolder folder;
  const mode_t previous = ::umask(022);
  WriteWholeFile(folder / "a.bin", kNew, ExistingFile::kKeep);
  ::umask(previous);
  EXPECT_EQ(fs::status(folder / "a.bin").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST(ReadWholeFile, ReadsUpToTheLimit) {
  TempFolder folder;
  WriteBytes(folder / "a.bin", kNew);
  EXPECT_EQ(ReadWholeFile(folder / "a.bin", 4), kNew);
  EXPECT_THROW(ReadWholeFile(folder / "a.bin", 3), CommandFailure);
}

TEST(ReadWholeFile, NamesTheFileAndTheReason) {
  TempFolder folder;
  try {
    ReadWholeFile(folder / "missing.frame", 100);
    FAIL();
  } catch (const CommandFailure& failure) {
    const std::string message = failure.what();
    EXPECT_NE(message.find("missing.frame"), std::string::npos) << message;
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;
  }
  EXPECT_THROW(ReadWholeFile(folder.path(), 100), CommandFailure);
}

}  // namespace
}  // namespace ksv::ksvcam
