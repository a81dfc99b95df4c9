// The fixer's parts that decide bytes and numbers on their own: the audio
// format rewrite, the progress scaling across passes, and the work file
// that never takes a user's file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "avifix/save_progress.h"
#include "avifix/stream_description.h"
#include "avifix/target_files.h"
#include "avifix/tests/fix_test_support.h"
#include "testing/temp_files.h"

namespace ksv::avifix {
namespace {

std::vector<uint8_t> Wave(uint16_t tag, size_t size) {
  std::vector<uint8_t> format(size);
  for (size_t i = 0; i < size; ++i) format[i] = uint8_t(0x10 + i);
  format[0] = uint8_t(tag), format[1] = uint8_t(tag >> 8);
  return format;
}

TEST(AudioFormatRewrite, Tag0400BecomesItsFirst16BytesAndTheTenListedExtraBytes) {
  for (size_t size : {16u, 18u, 20u, 50u}) {
    const std::vector<uint8_t> own = Wave(0x0400, size);
    const std::vector<uint8_t> rewritten = RewriteAudioFormat(own);
    ASSERT_EQ(rewritten.size(), 28u) << size;
    EXPECT_TRUE(std::equal(own.begin(), own.begin() + 16, rewritten.begin())) << size;
    const std::vector<uint8_t> extra(rewritten.begin() + 16, rewritten.end());
    EXPECT_EQ(extra, (std::vector<uint8_t>{10, 0, 0, 0, 0xCE, 0x9A, 0x32, 0xF7, 0xA2, 0xAE,
                                           0xDE, 0xAC}))
        << size;
  }
}

TEST(AudioFormatRewrite, OtherTagsAndShortFormatsStayAsTheyAre) {
  for (const uint16_t tag : std::vector<uint16_t>{0x0001, 0x0011, 0x0006, 0x0007, 0x0401, 0x0004}) {
    EXPECT_EQ(RewriteAudioFormat(Wave(tag, 18)), Wave(tag, 18)) << tag;
  }
  EXPECT_EQ(RewriteAudioFormat(Wave(0x0400, 14)), Wave(0x0400, 14));
}

TEST(ProgressAcrossPasses, EachPassFillsItsShareInOrder) {
  EXPECT_EQ(ScaledPercent(1, 1, 37), 37);
  EXPECT_EQ(ScaledPercent(1, 2, 0), 0);
  EXPECT_EQ(ScaledPercent(1, 2, 100), 50);
  EXPECT_EQ(ScaledPercent(2, 2, 0), 50);
  EXPECT_EQ(ScaledPercent(2, 2, 100), 100);
  EXPECT_EQ(ScaledPercent(3, 3, 100), 100);
  EXPECT_EQ(ScaledPercent(2, 3, 50), 50);
  // Never backwards across a pass boundary, never outside 0..100.
  int before = 0;
  for (int pass = 1; pass <= 3; ++pass) {
    for (int p = 0; p <= 100; ++p) {
      const int now = ScaledPercent(pass, 3, p);
      EXPECT_GE(now, before) << pass << " " << p;
      before = now;
    }
  }
  EXPECT_EQ(ScaledPercent(1, 1, 250), 100);
  EXPECT_EQ(ScaledPercent(1, 1, -4), 0);
}

int lastSeen = -1;
int Stop(int percent) {
  lastSeen = percent;
  return 0;
}
int GoOnButNotOne(int percent) {
  lastSeen = percent;
  return 2;  // only 1 means go on
}

TEST(ProgressAcrossPasses, OnlyAnAnswerOfOneLetsTheSaveGoOn) {
  {
    const SaveProgressScope scope(Stop);
    BeginPasses(2);
    NextPass();
    EXPECT_NE(SaveProgressProc(40), FALSE);
    EXPECT_EQ(lastSeen, 70);
  }
  {
    const SaveProgressScope scope(GoOnButNotOne);
    EXPECT_NE(SaveProgressProc(10), FALSE);
  }
  const SaveProgressScope scope(nullptr);
  EXPECT_EQ(SaveProgressProc(10), FALSE);
}

TEST(WorkFile, IsFreshBesideTheTargetAndNeverAUsersFile) {
  ksv::testing::TempFolder folder;
  const std::string first = ClaimWorkFile(folder.path().string());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(std::filesystem::path(first).parent_path(), folder.path());
  const std::string name = std::filesystem::path(first).filename().string();
  EXPECT_TRUE(name.starts_with("AVI") && name.ends_with(".AVI")) << name;
  EXPECT_TRUE(std::filesystem::exists(first));  // claimed
  // No ".TMP" claim is left behind.
  EXPECT_EQ(testing::FolderListing(folder.path()), std::vector<std::string>{name});

  // A user's file under the next names is skipped, not deleted.
  ksv::testing::WriteFile(folder / "keep.bin", {1, 2, 3});
  for (int i = 0; i < 8; ++i) {
    const std::string again = ClaimWorkFile(folder.path().string());
    ASSERT_FALSE(again.empty());
    EXPECT_NE(again, first);
  }
  EXPECT_EQ(ksv::testing::ReadFile(first), std::vector<uint8_t>{});
  EXPECT_EQ(ksv::testing::ReadFile(folder / "keep.bin"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(ClaimWorkFile((folder / "no-such-folder").string()), "");
}

// Renames that work once, then fail: the move back never happens.
int renamesLeft = 0;
int RenameOnce(const char* from, const char* to) {
  if (renamesLeft-- > 0) return ::rename(from, to);
  errno = EACCES;
  return -1;
}

TEST(TargetChecks, ReadOnlyFilesAndFoldersCannotBeReplaced) {
  ksv::testing::TempFolder folder;
  const auto file = folder / "clip.avi";
  ksv::testing::WriteFile(file, {1, 2, 3});
  EXPECT_EQ(CanReplace(file.string()), Replaceable::kYes);
  EXPECT_EQ(ksv::testing::ReadFile(file), (std::vector<uint8_t>{1, 2, 3}));  // moved back
  EXPECT_EQ(testing::FolderListing(folder.path()), std::vector<std::string>{"clip.avi"});

  // Moved to its test name but never back: said so, and the file is kept
  // whole under that name.
  renamesLeft = 1;
  UseRenameCall(RenameOnce);
  EXPECT_EQ(CanReplace(file.string()), Replaceable::kMovedAway);
  UseRenameCall(nullptr);
  const auto left = testing::FolderListing(folder.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].starts_with("AVM") && left[0].ends_with(".TMP")) << left[0];
  EXPECT_EQ(ksv::testing::ReadFile(folder / left[0]), (std::vector<uint8_t>{1, 2, 3}));
  std::filesystem::rename(folder / left[0], file);

  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read);
  EXPECT_EQ(CanReplace(file.string()), Replaceable::kNo);
  EXPECT_EQ(CanReplace(folder.path().string()), Replaceable::kNo);
  EXPECT_EQ(CanReplace((folder / "missing.avi").string()), Replaceable::kNo);
}

}  // namespace
}  // namespace ksv::avifix
