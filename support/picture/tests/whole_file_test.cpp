#include "support/picture/whole_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "testing/temp_files.h"

namespace ksv::picture {
namespace {

namespace fs = std::filesystem;
using ::ksv::testing::ReadFile;
using ::ksv::testing::TempFolder;
using ::ksv::testing::WriteFile;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w', '!'};

// Makes every write past `bytes` of any file fail with EFBIG while it
// lives: a real failure half-way through a write, whoever runs the test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    previousSignal_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousSignal_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousSignal_;
};

TEST(WriteWholeFile, CreatesReplacesOrKeepsAndLeavesNoTemporary) {
  TempFolder folder;
  WriteWholeFile(folder / "a.bin", kOld, ExistingFile::kKeep);
  EXPECT_EQ(ReadFile(folder / "a.bin"), kOld);
  try {
    WriteWholeFile(folder / "a.bin", kNew, ExistingFile::kKeep);
    FAIL() << "replaced a file it was told to keep";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.error(), EEXIST);
    EXPECT_NE(std::string(failure.what()).find("a.bin"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(folder / "a.bin"), kOld);
  WriteWholeFile(folder / "a.bin", kNew);
  EXPECT_EQ(ReadFile(folder / "a.bin"), kNew);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

TEST(WriteWholeFile, AFailedWriteKeepsTheEarlierFileWhole) {
  TempFolder folder;
  WriteFile(folder / "a.bin", kOld);
  const std::vector<uint8_t> large(64 * 1024, 'x');
  {
    const FileSizeLimit limit(4096);
    try {
      WriteWholeFile(folder / "a.bin", large);
      FAIL() << "a write past the file size limit succeeded";
    } catch (const FileError& failure) {
      EXPECT_EQ(failure.error(), EFBIG);
    }
    EXPECT_EQ(TryWriteWholeFile(folder / "b.bin", large), EFBIG);
  }
  EXPECT_EQ(ReadFile(folder / "a.bin"), kOld);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

TEST(WriteWholeFile, FailsCleanlyWhereNothingCanBeWritten) {
  TempFolder folder;
  EXPECT_EQ(TryWriteWholeFile(folder / "no" / "a.bin", kNew), ENOENT);
  EXPECT_EQ(TryWriteWholeFile("", kNew), ENOENT);
  EXPECT_THROW(WriteWholeFile(folder / "no" / "a.bin", kNew), FileError);
  EXPECT_TRUE(Names(folder.path()).empty());
}

TEST(WriteWholeFile, WritesDevicesInPlaceAndFollowsLinks) {
  EXPECT_EQ(TryWriteWholeFile("/dev/null", kNew), 0);
  EXPECT_EQ(TryWriteWholeFile("/dev/full", kNew), ENOSPC);
  EXPECT_TRUE(fs::exists("/dev/full"));
  TempFolder folder;
  WriteFile(folder / "target.bin", kOld);
  fs::create_symlink("target.bin", folder / "link.bin");
  WriteWholeFile(folder / "link.bin", kNew);
  EXPECT_TRUE(fs::is_symlink(folder / "link.bin"));
  EXPECT_EQ(ReadFile(folder / "target.bin"), kNew);
}

TEST(WriteWholeFile, GivesTheUsualPermissions) {
  TempFolder folder;
  const mode_t previous = ::umask(022);
  WriteWholeFile(folder / "a.bin", kNew);
  ::umask(previous);
  EXPECT_EQ(fs::status(folder / "a.bin").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST(AtomicFile, NothingUnderTheNameUntilCommitted) {
  TempFolder folder;
  WriteFile(folder / "s.bin", kOld);
  {
    AtomicFile file(folder / "s.bin");
    file.Write(kNew);
    file.Write(kNew);
    EXPECT_EQ(ReadFile(folder / "s.bin"), kOld);
  }  // abandoned
  EXPECT_EQ(ReadFile(folder / "s.bin"), kOld);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"s.bin"});
  AtomicFile file(folder / "s.bin");
  file.Write(kNew);
  file.Commit();
  EXPECT_EQ(ReadFile(folder / "s.bin"), kNew);
  EXPECT_THROW(file.Write(kNew), FileError);
  AtomicFile kept(folder / "s.bin", ExistingFile::kKeep);
  EXPECT_THROW(kept.Commit(), FileError);
  EXPECT_EQ(ReadFile(folder / "s.bin"), kNew);
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"s.bin"});
}

TEST(ReadWholeFile, ReadsUpToTheLimitAndNamesTheCause) {
  TempFolder folder;
  WriteFile(folder / "a.bin", kNew);
  EXPECT_EQ(ReadWholeFile(folder / "a.bin", 4), kNew);
  try {
    ReadWholeFile(folder / "a.bin", 3);
    FAIL();
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.error(), EFBIG);
  }
  try {
    ReadWholeFile(folder / "missing.frame", 100);
    FAIL();
  } catch (const FileError& failure) {
    const std::string message = failure.what();
    EXPECT_NE(message.find("missing.frame"), std::string::npos) << message;
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;
  }
  EXPECT_THROW(ReadWholeFile(folder.path(), 100), FileError);
}

}  // namespace
}  // namespace ksv::picture
