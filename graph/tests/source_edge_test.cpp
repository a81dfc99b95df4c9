// What the file builds make of their sources and outputs at the edges: a
// source of no known kind, a file without the stream a build needs, a
// split with outputs it cannot fill, the AVI maker's period before there
// is an AVI maker.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "graph/graph_context.h"
#include "graph/tests/file_test_support.h"
#include "testing/temp_files.h"

namespace ksv::graph::testing {
namespace {

namespace fs = std::filesystem;

class SourceEdges : public FileGraphTest {};

// Every build that opens a source fails for a file that is neither MPEG-1,
// AVI nor WAV, and for one that is missing; nothing is written.
TEST_F(SourceEdges, ASourceOfNoKnownKindOrNoFileFailsEveryBuildThatOpensIt) {
  const std::string text = root_.Path("notes.txt"), tone = root_.Path("tone.wav");
  ksv::testing::WriteFile(text, std::vector<uint8_t>(4096, 'x'));
  WriteToneWav(tone, 8000, 800);
  const std::string out = root_.Path("out.avi"), wav = root_.Path("out.wav");
  FrameFeed feed;
  for (const std::string& source : {text, root_.Path("missing.avi")}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(QMG_CompressedWAV(Handle(), source.c_str(), wav.c_str(), "IMA ADPCM"), 0);
    EXPECT_EQ(QMG_Merge_AVI_WAV_2_AVI(Handle(), source.c_str(), tone.c_str(), out.c_str()), 0);
    EXPECT_EQ(QMG_BuildAVI2AviWave(Handle(), source.c_str(), out.c_str(), wav.c_str(), nullptr, nullptr), 0);
    QmgHandle* images = Handle();
    EXPECT_EQ(QMG_BuildImageWav2AVI(images, feed.width, feed.height, 24, FrameFeed::Next, feed.user(),
                                    out.c_str(), nullptr, source.c_str()),
              0);
    EXPECT_EQ(QMG_GetMediaState(images), QMG_STATE_NONE);
    EXPECT_EQ(images->graphKind, kGraphNone);
  }
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(wav));
}

// A merge whose video file is a WAV file has no video to merge: it fails
// rather than connect a missing filter.
TEST_F(SourceEdges, MergeFailsWhenTheVideoFileHasNoVideo) {
  const std::string tone = root_.Path("tone.wav"), out = root_.Path("out.avi");
  WriteToneWav(tone, 8000, 800);
  EXPECT_EQ(QMG_Merge_AVI_WAV_2_AVI(Handle(), tone.c_str(), tone.c_str(), out.c_str()), 0);
  EXPECT_EQ(QMG_Merge_AVI_WAV_2_AVI(Handle(), tone.c_str(), nullptr, out.c_str()), 0);
}

// From an AVI with sound, a split with only a WAV output writes only the
// sound; from a WAV file, a split succeeds and has nothing to write.
TEST_F(SourceEdges, ASplitWritesOnlyTheOutputsItsSourceCanFill) {
  const std::string tone = root_.Path("tone.wav"), clip = root_.Path("clip.avi");
  const std::vector<uint8_t> samples = WriteToneWav(tone, 8000, 1600);
  FrameFeed feed;
  feed.frames = 3;
  QmgHandle* make = Handle();
  ASSERT_EQ(QMG_BuildImageWav2AVI(make, feed.width, feed.height, 24, FrameFeed::Next, feed.user(),
                                  clip.c_str(), nullptr, tone.c_str()),
            1);
  ASSERT_TRUE(RunToCompletion(make));
  ASSERT_EQ(ReadAviFile(clip).streams.size(), 2u);

  const std::string sound = root_.Path("sound.wav");
  QmgHandle* split = Handle();
  ASSERT_EQ(QMG_BuildAVI2AviWave(split, clip.c_str(), nullptr, sound.c_str(), nullptr, nullptr), 1);
  ASSERT_TRUE(RunToCompletion(split));
  EXPECT_EQ(WavData(sound), samples);
  const size_t files = size_t(std::distance(fs::directory_iterator(fs::path(clip).parent_path()),
                                            fs::directory_iterator()));

  const std::string nothingWav = root_.Path("nothing.wav");
  QmgHandle* fromWav = Handle();
  EXPECT_EQ(QMG_BuildAVI2AviWave(fromWav, tone.c_str(), nullptr, nothingWav.c_str(), nullptr, nullptr), 1);
  EXPECT_EQ(fromWav->graph->audioTail, nullptr);
  EXPECT_EQ(fromWav->graph->videoTail, nullptr);
  EXPECT_FALSE(fs::exists(nothingWav));
  EXPECT_EQ(size_t(std::distance(fs::directory_iterator(fs::path(clip).parent_path()),
                                 fs::directory_iterator())),
            files);

  // Neither output named: nothing to build.
  EXPECT_EQ(QMG_BuildAVI2AviWave(Handle(), clip.c_str(), nullptr, nullptr, nullptr, nullptr), 0);
}

// The AVI maker's period needs an AVI maker: a fresh handle refuses it; the
// preview clip build makes one, tells the client, and then takes it.
TEST_F(SourceEdges, TheFramePeriodNeedsABuildWithTheAviMaker) {
  QmgHandle* handle = Handle();
  std::vector<int32_t> codes;
  QMG_SetCallbackProc(handle, [](int32_t code, intptr_t user) {
    if (code != QMG_CODE_TICK) reinterpret_cast<std::vector<int32_t>*>(user)->push_back(code);
  }, reinterpret_cast<intptr_t>(&codes));
  EXPECT_EQ(QMG_AviMaker_MillisecondPerFrame(handle, 40), 0);
  EXPECT_EQ(QMG_AviMaker_MillisecondPerFrame(nullptr, 40), 0);

  FrameFeed feed;
  EXPECT_EQ(QMG_BuildPreviewClip(handle, feed.width, feed.height, 24, nullptr, 0), 0);
  EXPECT_TRUE(codes.empty());
  ASSERT_EQ(QMG_BuildPreviewClip(handle, feed.width, feed.height, 24, FrameFeed::Next, feed.user()), 1);
  EXPECT_EQ(codes, std::vector<int32_t>{QMG_CODE_BUILT});
  EXPECT_EQ(handle->graphKind, kGraphPreviewClip);
  EXPECT_EQ(QMG_GetMediaState(handle), QMG_STATE_STOPPED);
  EXPECT_EQ(QMG_AviMaker_MillisecondPerFrame(handle, 40), 1);
  EXPECT_EQ(QMG_AviMaker_MillisecondPerFrame(handle, 0), 0) << "the filter refuses a zero period";
}

}  // namespace
}  // namespace ksv::graph::testing
