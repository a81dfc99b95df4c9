// The exports on clips as our AVI Mux writes them: what a fix keeps (every
// video packet, the sound of the video's time), what it changes (an idx1,
// the sound interleaved, the main header, the lead-in before the first key
// frame re-encoded), in place and into a copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "avifix/tests/fix_test_support.h"
#include "include/clipmend.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "testing/temp_files.h"

namespace ksv::avifix::testing {
namespace {

namespace fs = std::filesystem;

std::vector<int> progressSeen;
int Record(int percent) {
  progressSeen.push_back(percent);
  return 1;
}

class Fix : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  ksv::testing::TempFolder folder_;
};

TEST_F(Fix, InPlaceKeepsEveryPacketAndTheSoundAndInterleavesAClipThatWasNot) {
  ClipSpec spec;
  spec.frames = 30;
  spec.interleaved = false;  // all video, then all sound
  const std::string clip = Path("clip.avi");
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  ASSERT_NE(CheckPlayable(clip), "") << "the check must catch a clip that is not interleaved";

  progressSeen.clear();
  ASSERT_EQ(FixAVIForMCIControl(clip.c_str(), Record), FIXAVI_OK);
  EXPECT_EQ(CheckPlayable(clip, true), "");
  const Contents after = ReadContents(clip);
  EXPECT_EQ(after.videoChunks, before.videoChunks);
  EXPECT_EQ(after.audioBytes, before.audioBytes);
  EXPECT_EQ(after.videoFormat, before.videoFormat);
  EXPECT_EQ(after.audioFormat, before.audioFormat);
  // Only the clip is left in its folder: no work file.
  EXPECT_EQ(FolderListing(folder_.path()), std::vector<std::string>{"clip.avi"});
  ASSERT_FALSE(progressSeen.empty());
  EXPECT_TRUE(std::is_sorted(progressSeen.begin(), progressSeen.end()));
  EXPECT_EQ(progressSeen.back(), 100);
}

TEST_F(Fix, SoundBeyondTheVideoIsCutAtTheEndOfTheLastFrame) {
  ClipSpec spec;
  spec.frames = 10;  // one second
  spec.audioSeconds = 1.5;
  const std::string clip = Path("long-sound.avi");
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  ASSERT_EQ(FixAVICopyForMCIControl(clip.c_str(), Path("out.avi").c_str(), nullptr), FIXAVI_OK);
  const Contents after = ReadContents(Path("out.avi"));
  EXPECT_EQ(after.videoChunks, before.videoChunks);
  // One second of 8,000 Hz 16-bit mono: the first 16,000 bytes, unchanged.
  ASSERT_EQ(after.audioBytes.size(), 16000u);
  EXPECT_TRUE(std::equal(after.audioBytes.begin(), after.audioBytes.end(), before.audioBytes.begin()));
}

TEST_F(Fix, CopyLeavesTheSourceAndReplacesAnExistingTarget) {
  const std::string clip = Path("clip.avi"), out = Path("out.avi");
  WriteClip(clip, ClipSpec{});
  const std::vector<uint8_t> source = FileBytes(clip);
  ksv::testing::WriteFile(out, std::vector<uint8_t>(5000, 0xEE));
  ASSERT_EQ(FixAVICopyForMCIControl(clip.c_str(), out.c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(FileBytes(clip), source);
  EXPECT_EQ(CheckPlayable(out), "");
  EXPECT_EQ(ReadContents(out).videoChunks, ReadContents(clip).videoChunks);
  EXPECT_EQ(FolderListing(folder_.path()), (std::vector<std::string>{"clip.avi", "out.avi"}));
}

TEST_F(Fix, CopyOntoTheSourceUnderAnotherSpellingIsInPlace) {
  const std::string clip = Path("clip.avi");
  ClipSpec spec;
  spec.legacyIndex = false;  // OpenDML index only
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  ASSERT_FALSE(before.hasIdx1);
  const std::string sameFile = (folder_.path() / "." / "clip.avi").string();
  ASSERT_EQ(FixAVICopyForMCIControl(clip.c_str(), sameFile.c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(CheckPlayable(clip), "");
  EXPECT_EQ(ReadContents(clip).videoChunks, before.videoChunks);
  EXPECT_EQ(FolderListing(folder_.path()), std::vector<std::string>{"clip.avi"});
}

TEST_F(Fix, PermissionsOfAFileFixedInPlaceStay) {
  const std::string clip = Path("clip.avi");
  WriteClip(clip, ClipSpec{});
  fs::permissions(clip, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(FixAVIForMCIControl(clip.c_str(), nullptr), FIXAVI_OK);
  EXPECT_EQ(fs::status(clip).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Fix, ALeadInBeforeTheFirstKeyFrameIsReencodedToStartOnAKeyFrame) {
  ClipSpec spec;
  spec.video = Video::kRgb;  // re-encoding loses nothing: frames compare exactly
  spec.frames = 8;
  spec.keyFrames = {false, false, false, true, false, false, true, false};
  const std::string clip = Path("lead-in.avi");
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  progressSeen.clear();
  ASSERT_EQ(FixAVIForMCIControl(clip.c_str(), Record), FIXAVI_OK);
  EXPECT_EQ(CheckPlayable(clip), "");
  const Contents after = ReadContents(clip);
  ASSERT_EQ(after.videoChunks.size(), 8u);
  const auto& index = after.file.streams[0].index;
  EXPECT_TRUE(index[0].keyFrame);
  // The frames from the first key frame on are the same packets, flags
  // included; the decoded lead-in is the same picture.
  for (size_t n = 3; n < 8; ++n) {
    EXPECT_EQ(after.videoChunks[n], before.videoChunks[n]) << n;
    EXPECT_EQ(index[n].keyFrame, spec.keyFrames[n]) << n;
  }
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(after.videoChunks[size_t(n)], RawFrame(Video::kRgb, n)) << n;
  }
  EXPECT_EQ(after.audioBytes, before.audioBytes);
  // Two passes: the lead-in's save, then the whole.
  ASSERT_FALSE(progressSeen.empty());
  EXPECT_TRUE(std::is_sorted(progressSeen.begin(), progressSeen.end()));
  EXPECT_TRUE(std::find(progressSeen.begin(), progressSeen.end(), 50) != progressSeen.end());
  EXPECT_EQ(progressSeen.back(), 100);
  EXPECT_EQ(FolderListing(folder_.path()), std::vector<std::string>{"lead-in.avi"});
}

TEST_F(Fix, I420IsNeverSplitAndVideoWithoutKeyFramesIsReencodedWhole) {
  ClipSpec i420;
  i420.video = Video::kI420;
  i420.frames = 4;
  i420.keyFrames = {false, true, false, true};
  WriteClip(Path("i420.avi"), i420);
  const Contents before = ReadContents(Path("i420.avi"));
  ASSERT_EQ(FixAVIForMCIControl(Path("i420.avi").c_str(), nullptr), FIXAVI_OK);
  const Contents after = ReadContents(Path("i420.avi"));
  EXPECT_EQ(after.videoChunks, before.videoChunks);
  EXPECT_FALSE(after.file.streams[0].index[0].keyFrame);  // copied as it was

  ClipSpec noKeys;
  noKeys.video = Video::kRgb;
  noKeys.frames = 20;
  noKeys.keyFrames.assign(20, false);
  WriteClip(Path("nokeys.avi"), noKeys);
  ASSERT_EQ(FixAVIForMCIControl(Path("nokeys.avi").c_str(), nullptr), FIXAVI_OK);
  const Contents reencoded = ReadContents(Path("nokeys.avi"));
  ASSERT_EQ(reencoded.videoChunks.size(), 20u);
  // Uncompressed frames are whole pictures: all key frames once encoded.
  for (size_t n = 0; n < 20; ++n) {
    EXPECT_TRUE(reencoded.file.streams[0].index[n].keyFrame) << n;
    EXPECT_EQ(reencoded.videoChunks[n], RawFrame(Video::kRgb, int(n))) << n;
  }
}

TEST_F(Fix, SoundOfTag0400GetsTheRewrittenFormatAndKeepsItsSamples) {
  ClipSpec spec;
  spec.audio = Audio::kTag0400;
  const std::string clip = Path("tag.avi");
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  ASSERT_EQ(FixAVIForMCIControl(clip.c_str(), nullptr), FIXAVI_OK);
  const Contents after = ReadContents(clip);
  ASSERT_EQ(after.audioFormat.size(), 28u);
  EXPECT_TRUE(std::equal(before.audioFormat.begin(), before.audioFormat.begin() + 16,
                         after.audioFormat.begin()));
  EXPECT_EQ(after.audioFormat[16], 10);
  EXPECT_EQ(after.audioBytes, before.audioBytes);
  EXPECT_EQ(after.videoChunks, before.videoChunks);
}

TEST_F(Fix, VideoWithoutSoundIsSavedAlone) {
  ClipSpec spec;
  spec.audio = Audio::kNone;
  const std::string clip = Path("silent.avi");
  WriteClip(clip, spec);
  const Contents before = ReadContents(clip);
  ASSERT_EQ(FixAVIForMCIControl(clip.c_str(), nullptr), FIXAVI_OK);
  const Contents after = ReadContents(clip);
  EXPECT_EQ(after.file.streams.size(), 1u);
  EXPECT_EQ(after.videoChunks, before.videoChunks);
  EXPECT_EQ(CheckPlayable(clip), "");
}

TEST(FixConcurrency, FixesFromSeveralThreadsRunOneAtATimeAndAllSucceed) {
  ksv::testing::TempFolder folder;
  std::vector<std::string> clips;
  for (int i = 0; i < 4; ++i) {
    clips.push_back((folder / ("clip" + std::to_string(i) + ".avi")).string());
    ClipSpec spec;
    spec.interleaved = false;
    WriteClip(clips.back(), spec);
  }
  std::vector<FixResult> results(clips.size(), FIXAVI_E_FAILED);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < clips.size(); ++i) {
    threads.emplace_back([&, i] { results[i] = FixAVIForMCIControl(clips[i].c_str(), Record); });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t i = 0; i < clips.size(); ++i) {
    EXPECT_EQ(results[i], FIXAVI_OK) << i;
    EXPECT_EQ(CheckPlayable(clips[i]), "") << i;
  }
}

}  // namespace
}  // namespace ksv::avifix::testing
