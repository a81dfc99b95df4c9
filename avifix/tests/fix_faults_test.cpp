// Bad input and faults: each failing fix returns its code, leaves the
// source byte for byte as it was and leaves no work file behind. The full
// disk and the read-only folder are real: a small tmpfs and a read-only
// bind mount, made in a child process's own mount namespace.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <new>

#include "avifix/tests/fix_test_support.h"
#include "include/clipmend.h"
#include "testing/temp_files.h"

namespace ksv::avifix::testing {
namespace {

namespace fs = std::filesystem;

class FixFault : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string Clip(const std::string& name, const ClipSpec& spec = {}) {
    WriteClip(Path(name), spec);
    return Path(name);
  }
  // Runs the in-place fix of `path` and checks that it fails with
  // `expected`, the file unchanged and the folder as it was.
  void ExpectFailsUnchanged(const std::string& path, FixResult expected,
                            FixAVIProgress progress = nullptr) {
    const std::vector<uint8_t> before = fs::exists(path) ? FileBytes(path) : std::vector<uint8_t>{};
    const auto listing = FolderListing(fs::path(path).parent_path());
    EXPECT_EQ(FixAVIForMCIControl(path.c_str(), progress), expected) << path;
    if (!before.empty()) {
      EXPECT_EQ(FileBytes(path), before) << path;
    }
    EXPECT_EQ(FolderListing(fs::path(path).parent_path()), listing) << path;
  }
  ksv::testing::TempFolder folder_;
};

void Patch(const std::string& path, size_t at, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> file = FileBytes(path);
  std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
  ksv::testing::WriteFile(path, file);
}

size_t Find(const std::vector<uint8_t>& file, const char* tag, size_t from = 0) {
  const auto at = std::search(file.begin() + long(from), file.end(), tag, tag + 4);
  return at == file.end() ? std::string::npos : size_t(at - file.begin());
}

TEST_F(FixFault, FilesThatCannotBeOpenedOrHoldNoFrames) {
  EXPECT_EQ(FixAVIForMCIControl(Path("missing.avi").c_str(), nullptr), FIXAVI_E_CANNOT_OPEN);
  EXPECT_EQ(FixAVIForMCIControl(nullptr, nullptr), FIXAVI_E_CANNOT_OPEN);
  EXPECT_EQ(FixAVIForMCIControl(folder_.path().c_str(), nullptr), FIXAVI_E_CANNOT_OPEN);
  ksv::testing::WriteFile(Path("text.avi"), std::vector<uint8_t>(3000, 'x'));
  ExpectFailsUnchanged(Path("text.avi"), FIXAVI_E_CANNOT_OPEN);
  ksv::testing::WriteFile(Path("empty.avi"), {});
  ExpectFailsUnchanged(Path("empty.avi"), FIXAVI_E_CANNOT_OPEN);

  ClipSpec noFrames;
  noFrames.frames = 0;
  noFrames.audioSeconds = 0.5;
  ExpectFailsUnchanged(Clip("no-frames.avi", noFrames), FIXAVI_E_NO_FRAMES);

  ClipSpec soundOnly;
  const std::string clip = Clip("zero-rate.avi", soundOnly);
  // The video stream's rate (strh + 24) made 0.
  const size_t strh = Find(FileBytes(clip), "strh");
  Patch(clip, strh + 8 + 24, {0, 0, 0, 0});
  ExpectFailsUnchanged(clip, FIXAVI_E_CANNOT_OPEN);
}

TEST_F(FixFault, SoundThatHoldsNothingOverTheVideoFailsTheFix) {
  // The file has a sound stream, but no sample of it plays with the video:
  // the fix will not drop the sound silently.
  ClipSpec silentTrack;
  silentTrack.audioSeconds = 0;
  ExpectFailsUnchanged(Clip("empty-sound.avi", silentTrack), FIXAVI_E_FAILED);
}

TEST_F(FixFault, TruncatedClipsFailInTheirHeadersAndKeepTheirWholeFramesInTheData) {
  const std::string clip = Clip("cut.avi");
  const std::vector<uint8_t> whole = FileBytes(clip);
  const Contents full = ReadContents(clip);

  ksv::testing::WriteFile(clip, std::vector<uint8_t>(whole.begin(), whole.begin() + 100));
  ExpectFailsUnchanged(clip, FIXAVI_E_CANNOT_OPEN);

  // Cut in the middle of the data: the whole chunks before the cut make a
  // shorter clip, which fixes.
  ksv::testing::WriteFile(clip, std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size() * 6 / 10)));
  ASSERT_EQ(FixAVICopyForMCIControl(clip.c_str(), Path("out.avi").c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(CheckPlayable(Path("out.avi")), "");
  const Contents kept = ReadContents(Path("out.avi"));
  ASSERT_GT(kept.videoChunks.size(), 2u);
  ASSERT_LT(kept.videoChunks.size(), full.videoChunks.size());
  EXPECT_TRUE(std::equal(kept.videoChunks.begin(), kept.videoChunks.end(), full.videoChunks.begin()));
}

TEST_F(FixFault, AnIndexEntryPastTheEndIsDroppedNotRead) {
  const std::string clip = Clip("index.avi");
  std::vector<uint8_t> file = FileBytes(clip);
  // Only the idx1 left to tell where chunks are.
  for (size_t at = Find(file, "indx"); at != std::string::npos; at = Find(file, "indx", at + 4)) {
    std::copy_n("JUNK", 4, file.begin() + long(at));
  }
  const size_t idx1 = Find(file, "idx1");
  ASSERT_NE(idx1, std::string::npos);
  // The last video entry points far past the end.
  size_t lastVideo = 0;
  for (size_t entry = idx1 + 8; entry + 16 <= file.size(); entry += 16) {
    if (std::equal(file.begin() + long(entry), file.begin() + long(entry) + 4, "00dc")) lastVideo = entry;
  }
  ASSERT_NE(lastVideo, 0u);
  file[lastVideo + 8 + 3] = 0x70;
  ksv::testing::WriteFile(clip, file);
  const std::vector<uint8_t> before = FileBytes(clip);
  ASSERT_EQ(FixAVICopyForMCIControl(clip.c_str(), Path("out.avi").c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(FileBytes(clip), before);
  EXPECT_EQ(ReadContents(Path("out.avi")).videoChunks.size(), 9u);
  EXPECT_EQ(CheckPlayable(Path("out.avi")), "");
}

int Cancel(int percent) { return percent < 30 ? 1 : 0; }
int ThrowOutOfMemory(int) { throw std::bad_alloc(); }
int ThrowFileError(int) {
  throw fs::filesystem_error("write", std::make_error_code(std::errc::io_error));
}
int ThrowOther(int) { throw 42; }

TEST_F(FixFault, ACancelledOrFailingProgressRoutineLeavesTheSource) {
  ClipSpec spec;
  spec.frames = 40;
  const std::string clip = Clip("clip.avi", spec);
  ExpectFailsUnchanged(clip, FIXAVI_E_FAILED, Cancel);
  ExpectFailsUnchanged(clip, FIXAVI_E_OUT_OF_MEMORY, ThrowOutOfMemory);
  ExpectFailsUnchanged(clip, FIXAVI_E_DISK_FULL, ThrowFileError);
  ExpectFailsUnchanged(clip, FIXAVI_E_FAILED, ThrowOther);
  // The copy export: no target appears.
  EXPECT_EQ(FixAVICopyForMCIControl(clip.c_str(), Path("out.avi").c_str(), Cancel), FIXAVI_E_FAILED);
  EXPECT_FALSE(fs::exists(Path("out.avi")));
  // Nothing is held: the next fix goes through.
  EXPECT_EQ(FixAVIForMCIControl(clip.c_str(), nullptr), FIXAVI_OK);
}

// A fix started from inside a fix's progress routine is refused (it would
// wait for the fix that runs it); the outer fix goes on.
FixResult nestedResult = FIXAVI_OK;
std::string nestedPath;
int StartAnotherFix(int percent) {
  if (percent > 0 && nestedResult == FIXAVI_OK) {
    nestedResult = FixAVIForMCIControl(nestedPath.c_str(), nullptr);
  }
  return 1;
}

TEST_F(FixFault, AFixFromInsideTheProgressRoutineIsRefused) {
  const std::string clip = Clip("clip.avi");
  nestedPath = Clip("other.avi");
  const std::vector<uint8_t> other = FileBytes(nestedPath);
  nestedResult = FIXAVI_OK;
  EXPECT_EQ(FixAVIForMCIControl(clip.c_str(), StartAnotherFix), FIXAVI_OK);
  EXPECT_EQ(nestedResult, FIXAVI_E_FAILED);
  EXPECT_EQ(FileBytes(nestedPath), other);
}

TEST_F(FixFault, ReadOnlyFilesAndTargetsThatAreFoldersAreNotReplaced) {
  const std::string clip = Clip("clip.avi");
  fs::permissions(clip, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ExpectFailsUnchanged(clip, FIXAVI_E_FAILED);
  fs::permissions(clip, fs::perms::owner_write, fs::perm_options::add);

  // The copy export fails on a read-only target as deleting it would, and
  // leaves it as it was, permissions and all.
  const std::string readOnly = Clip("read-only.avi");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const std::vector<uint8_t> kept = FileBytes(readOnly);
  EXPECT_EQ(FixAVICopyForMCIControl(clip.c_str(), readOnly.c_str(), nullptr), FIXAVI_E_FAILED);
  EXPECT_EQ(FileBytes(readOnly), kept);
  EXPECT_EQ(fs::status(readOnly).permissions(), fs::perms::owner_read | fs::perms::group_read);

  fs::create_directory(Path("folder.avi"));
  const std::vector<uint8_t> before = FileBytes(clip);
  EXPECT_EQ(FixAVICopyForMCIControl(clip.c_str(), Path("folder.avi").c_str(), nullptr),
            FIXAVI_E_FAILED);
  EXPECT_TRUE(fs::is_directory(Path("folder.avi")));
  EXPECT_EQ(FileBytes(clip), before);
}

// Runs `body` in a child process with its own mount namespace (and user
// namespace when not root), after `setup` made its mounts. The child's
// exit status: 0 when the body's checks hold, kNoNamespace when the
// machine allows no namespace.
constexpr int kNoNamespace = 77;
int InMountNamespace(const std::function<bool()>& setup, const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() != 0 && unshare(CLONE_NEWUSER) != 0) _exit(kNoNamespace);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      _exit(kNoNamespace);
    }
    if (!setup()) _exit(kNoNamespace);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In the child: 1 for a wrong result, 2 for a changed source, 3 for a
// left-over file.
int FailsUnchanged(const std::string& clip, const std::string& target, FixResult expected) {
  const std::vector<uint8_t> before = FileBytes(clip);
  const auto listing = FolderListing(fs::path(clip).parent_path());
  const FixResult result = clip == target ? FixAVIForMCIControl(clip.c_str(), nullptr)
                                          : FixAVICopyForMCIControl(clip.c_str(), target.c_str(), nullptr);
  if (result != expected) {
    std::fprintf(stderr, "result 0x%08X\n", unsigned(result));
    return 1;
  }
  if (FileBytes(clip) != before) return 2;
  return FolderListing(fs::path(clip).parent_path()) != listing || fs::exists(target) != (clip == target) ? 3 : 0;
}

// Fills the file system holding `folder` until `leave` bytes are free.
bool FillUpTo(const fs::path& folder, uint64_t leave) {
  const uint64_t available = fs::space(folder).available;
  if (available < leave) return false;
  FILE* filler = std::fopen((folder / "filler").c_str(), "wb");
  if (filler == nullptr) return false;
  const std::vector<char> block(4096, 0);
  uint64_t left = available - leave;
  while (left >= block.size() && std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    left -= block.size();
  }
  std::fclose(filler);
  return true;
}

TEST_F(FixFault, AFullDiskIsToldApartAndLeavesTheSource) {
  const fs::path disk = folder_ / "disk";
  fs::create_directory(disk);
  const auto mountDisk = [&] {
    return mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") == 0;
  };
  // Nearly nothing free: under 128 KiB.
  int status = InMountNamespace(mountDisk, [&] {
    const std::string clip = (disk / "clip.avi").string();
    WriteClip(clip, ClipSpec{});
    if (!FillUpTo(disk, 16 * 1024)) return 10;
    return FailsUnchanged(clip, clip, FIXAVI_E_DISK_FULL);
  });
  if (status == kNoNamespace) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(status, 0) << "nearly full";

  // More than 128 KiB free, but less than the new file needs: the save
  // still failed for space.
  status = InMountNamespace(mountDisk, [&] {
    ClipSpec big;
    big.video = Video::kRgb;
    big.frames = 80;
    const std::string clip = (disk / "big.avi").string();
    WriteClip(clip, big);
    if (fs::file_size(clip) < 250 * 1024 || !FillUpTo(disk, 200 * 1024)) return 10;
    const int inPlace = FailsUnchanged(clip, clip, FIXAVI_E_DISK_FULL);
    return inPlace != 0 ? inPlace : FailsUnchanged(clip, (disk / "copy.avi").string(), FIXAVI_E_DISK_FULL);
  });
  EXPECT_EQ(status, 0) << "full for this file";

  // Room for the source but not for the new file, which is larger (it adds
  // the legacy index): the space the failed save had taken is free again
  // when it ends, yet the save failed for space.
  const auto mountLargerDisk = [&] {
    return mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") == 0;
  };
  status = InMountNamespace(mountLargerDisk, [&] {
    ClipSpec grows;
    grows.video = Video::kRgb;
    grows.frames = 200;
    grows.legacyIndex = false;
    const std::string clip = (disk / "grows.avi").string();
    WriteClip(clip, grows);
    const fs::path trial = folder_ / "trial.avi";
    if (FixAVICopyForMCIControl(clip.c_str(), trial.c_str(), nullptr) != FIXAVI_OK) return 11;
    const uint64_t source = fs::file_size(clip);
    const uint64_t room = (source + 4095) / 4096 * 4096;
    if (fs::file_size(trial) <= room || room < 128 * 1024 || !FillUpTo(disk, room)) return 10;
    return FailsUnchanged(clip, clip, FIXAVI_E_DISK_FULL);
  });
  EXPECT_EQ(status, 0) << "room for the source, not for the new file";
}

TEST_F(FixFault, AReadOnlyFolderFailsAndLeavesTheSource) {
  const fs::path folder = folder_ / "ro";
  fs::create_directory(folder);
  const std::string clip = (folder / "clip.avi").string();
  WriteClip(clip, ClipSpec{});
  const int status = InMountNamespace(
      [&] {
        return mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
               mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
      },
      [&] {
        const int inPlace = FailsUnchanged(clip, clip, FIXAVI_E_FAILED);
        return inPlace != 0 ? inPlace : FailsUnchanged(clip, (folder / "copy.avi").string(), FIXAVI_E_FAILED);
      });
  if (status == kNoNamespace) GTEST_SKIP() << "no mount namespace on this machine";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace ksv::avifix::testing
