// Playing a media file through the playback build, and its rate.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "graph/graph_context.h"
#include "graph/tests/file_test_support.h"

namespace ksv::graph::testing {
namespace {

class Playback : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    handle_ = root_.NewHandle();
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { QMG_Reset(handle_); }

  // A clip with sound: `frames` frames 50 ms apart and as much sound
  // (0.15 s by default).
  std::string MakeClip(int frames = 3) {
    const std::string tone = root_.Path("tone.wav"), clip = root_.Path("clip.avi");
    WriteToneWav(tone, 8000, static_cast<uint32_t>(frames) * 400);
    FrameFeed feed;
    feed.frames = frames;
    QmgHandle* make = root_.NewHandle();
    EXPECT_EQ(QMG_BuildImageWav2AVI(make, feed.width, feed.height, 24, FrameFeed::Next, feed.user(),
                                    clip.c_str(), "Motion JPEG Codec", tone.c_str()),
              1);
    QMG_AviMaker_MillisecondPerFrame(make, 50);
    EXPECT_TRUE(RunToCompletion(make));
    QMG_Reset(make);
    return clip;
  }

  FileGraphRoot root_;
  QmgHandle* handle_ = nullptr;
};

// The file plays to its end; a rate the graph takes is kept, one it
// refuses changes nothing.
TEST_F(Playback, AFilePlaysToItsEndAndARefusedRateLeavesTheRate) {
  const std::string clip = MakeClip();
  double rate = 0;
  EXPECT_EQ(QMG_GetPlayRate(handle_, nullptr), 0);
  ASSERT_EQ(QMG_BuildPlayMediaFile(handle_, clip.c_str()), 1);
  EXPECT_EQ(handle_->graphKind, kGraphPlayback);
  ASSERT_EQ(QMG_GetPlayRate(handle_, &rate), 1);
  EXPECT_EQ(rate, 1.0);
  EXPECT_EQ(QMG_SetPlayRate(handle_, 2.0), 1);
  EXPECT_EQ(QMG_SetPlayRate(handle_, 0.0), 0);
  EXPECT_EQ(QMG_SetPlayRate(handle_, -1.0), 0);
  ASSERT_EQ(QMG_GetPlayRate(handle_, &rate), 1);
  EXPECT_EQ(rate, 2.0);
  // Renderers and decoders were recorded as the graph's own filters.
  int recorded = 0;
  for (int entry = 0; entry < handle_->graph->filterCount; ++entry) {
    recorded += handle_->graph->filters[entry].kind == kKindRecorded;
  }
  EXPECT_GE(recorded, 4) << "source, splitter, and a renderer for each stream at least";
  EXPECT_TRUE(RunToCompletion(handle_));
}

// The rate reaches the parser through the renderers and decoders: a clip
// of two seconds played four times as fast ends about one and a half
// seconds sooner than at the normal rate, its sound kept in time in
// silence. Only the playing is timed: building the graph costs what it
// costs (much more, and less evenly, under a thread checker).
TEST_F(Playback, AFasterRatePlaysTheFileInLessTime) {
  const std::string clip = MakeClip(40);
  const auto playSeconds = [&](QmgHandle* handle, double rate) {
    EXPECT_EQ(QMG_BuildPlayMediaFile(handle, clip.c_str()), 1);
    EXPECT_EQ(QMG_SetPlayRate(handle, rate), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(RunToCompletion(handle));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const double normal = playSeconds(handle_, 1.0);
  QmgHandle* fast = root_.NewHandle();
  const double faster = playSeconds(fast, 4.0);
  QMG_Reset(fast);
  EXPECT_GE(normal, 2.0) << "the clock paces the frames";
  EXPECT_GT(normal - faster, 1.0) << "normal " << normal << " s, four times as fast " << faster
                                  << " s";
}

// A file that cannot be rendered at all fails the build instead of leaving
// an empty graph to play.
TEST_F(Playback, AFileThatCannotBeRenderedFailsTheBuild) {
  EXPECT_EQ(QMG_BuildPlayMediaFile(handle_, root_.Path("missing.avi").c_str()), 0);
  EXPECT_EQ(QMG_BuildPlayMediaFile(handle_, nullptr), 0);
  EXPECT_EQ(QMG_BuildPlayMediaFile(nullptr, "x.avi"), 0);
  EXPECT_EQ(handle_->graphKind, kGraphNone);
  EXPECT_EQ(QMG_Play(handle_), 0);
}

}  // namespace
}  // namespace ksv::graph::testing
