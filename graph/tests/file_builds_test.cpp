// The image-to-AVI, merge, split and WAV builds as clients use them: built
// on a fresh handle, run with QMG_Play until the graph completes, and the
// files they write read back by the platform's AVI reader and by ffprobe.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graph/graph_context.h"
#include "graph/tests/file_test_support.h"
#include "include/vexel5.h"
#include "platform/media/avi/avi_file.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/ui/user32.h"

namespace ksv::graph::testing {
namespace {

using media::avi::Fourcc;
using media::testing::HaveFfmpeg;
using media::testing::Probe;

constexpr uint32_t kRate = 8000;
constexpr uint32_t kSamples = 4000;  // half a second

class FileBuilds : public FileGraphTest {};

void ExpectVideoOnly(const std::string& path, uint32_t compression, int frames) {
  const media::avi::File file = ReadAviFile(path);
  ASSERT_EQ(file.streams.size(), 1u) << path;
  ASSERT_TRUE(file.streams[0].IsVideo()) << path;
  EXPECT_EQ(VideoCompression(file.streams[0]), compression) << path;
  EXPECT_EQ(file.streams[0].index.size(), size_t(frames)) << path;
}

// Frames become a Cinepak AVI (the compressor named, the Vexel choice off); the AVI
// and a sound file merge into one; the merged file splits back into the
// video alone and the very sound samples; the sound recompresses.
TEST_F(FileBuilds, FramesBecomeAnAviThatMergesWithSoundSplitsBackAndRecompresses) {
  const std::string video = root_.Path("video.avi"), tone = root_.Path("tone.wav");
  const std::string merged = root_.Path("merged.avi"), alone = root_.Path("alone.avi");
  const std::string sound = root_.Path("sound.wav"), adpcm = root_.Path("adpcm.wav");
  const std::vector<uint8_t> samples = WriteToneWav(tone, kRate, kSamples);

  FrameFeed feed;
  QmgHandle* make = Handle();
  ASSERT_EQ(QMG_BuildImage2AVI(make, feed.width, feed.height, 24, FrameFeed::Next, feed.user(),
                               video.c_str(), "Cinepak Codec by Radius"),
            1);
  EXPECT_EQ(QMG_GetMediaState(make), QMG_STATE_STOPPED);
  EXPECT_EQ(make->graphKind, kGraphImageToAvi);
  ASSERT_EQ(QMG_AviMaker_MillisecondPerFrame(make, 50), 1);
  ASSERT_TRUE(RunToCompletion(make));
  EXPECT_EQ(feed.delivered.load(), feed.frames);
  ExpectVideoOnly(video, Fourcc("cvid"), feed.frames);

  QmgHandle* merge = Handle();
  ASSERT_EQ(QMG_Merge_AVI_WAV_2_AVI(merge, video.c_str(), tone.c_str(), merged.c_str()), 1);
  ASSERT_TRUE(RunToCompletion(merge));
  const media::avi::File both = ReadAviFile(merged);
  ASSERT_EQ(both.streams.size(), 2u);
  EXPECT_TRUE(both.streams[0].IsVideo());
  EXPECT_TRUE(both.streams[1].IsAudio());
  EXPECT_EQ(both.streams[0].index.size(), size_t(feed.frames));

  // The split graph gets its run controls, so QMG_Play runs it through.
  QmgHandle* split = Handle();
  ASSERT_EQ(QMG_BuildAVI2AviWave(split, merged.c_str(), alone.c_str(), sound.c_str(), nullptr, nullptr), 1);
  EXPECT_EQ(split->graphKind, kGraphSplit);
  ASSERT_TRUE(RunToCompletion(split));
  ExpectVideoOnly(alone, Fourcc("cvid"), feed.frames);
  EXPECT_EQ(WavData(sound), samples);

  QmgHandle* compress = Handle();
  ASSERT_EQ(QMG_CompressedWAV(compress, sound.c_str(), adpcm.c_str(), "IMA ADPCM"), 1);
  ASSERT_TRUE(RunToCompletion(compress));
  const size_t adpcmBytes = WavData(adpcm).size();
  EXPECT_GT(adpcmBytes, samples.size() / 5);  // 4 bits a sample, and block headers
  EXPECT_LT(adpcmBytes, samples.size() / 3);

  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffprobe: the files were checked by our own reader only";
  EXPECT_EQ(Probe(video, "v:0", "stream=codec_name,width,height"), "cinepak\n32\n24");
  EXPECT_EQ(Probe(video, "v:0", "stream=nb_read_frames,r_frame_rate", true), "20/1\n10");
  EXPECT_EQ(Probe(merged, "v:0", "stream=codec_name,nb_read_frames", true), "cinepak\n10");
  EXPECT_EQ(Probe(merged, "a:0", "stream=codec_name,sample_rate,channels"), "pcm_s16le\n8000\n1");
  EXPECT_EQ(Probe(alone, "v:0", "stream=codec_name,nb_read_frames", true), "cinepak\n10");
  EXPECT_EQ(Probe(alone, "a", "stream=index"), "") << "the split AVI carries no sound";
  EXPECT_EQ(Probe(sound, "a:0", "stream=codec_name,sample_rate,channels"), "pcm_s16le\n8000\n1");
  EXPECT_EQ(Probe(adpcm, "a:0", "stream=codec_name,sample_rate"), "adpcm_ima_wav\n8000");
}

// An MPEG-1 system stream splits through the MPEG-1 splitter and both
// decoders: decoded pictures into the AVI, decoded sound into the WAV.
TEST_F(FileBuilds, AnMpeg1FileSplitsThroughItsDecoders) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg to make the MPEG-1 file";
  const std::string mpeg = root_.Path("clip.mpg");
  const std::string pictures = root_.Path("pictures.avi"), sound = root_.Path("sound.wav");
  int status = -1;
  media::testing::RunCommand("ffmpeg -v error -f lavfi -i testsrc=size=32x32:rate=25 -f lavfi "
                             "-i sine=frequency=440:sample_rate=32000 -t 0.4 -c:v mpeg1video "
                             "-c:a mp2 -b:a 64k -f mpeg '" + mpeg + "'",
                             &status);
  ASSERT_EQ(status, 0);
  QmgHandle* split = Handle();
  ASSERT_EQ(QMG_BuildAVI2AviWave(split, mpeg.c_str(), pictures.c_str(), sound.c_str(), nullptr, nullptr), 1);
  ASSERT_TRUE(RunToCompletion(split));
  const media::avi::File file = ReadAviFile(pictures);
  ASSERT_EQ(file.streams.size(), 1u);
  ASSERT_TRUE(file.streams[0].IsVideo());
  EXPECT_GE(file.streams[0].index.size(), 9u);
  EXPECT_LE(file.streams[0].index.size(), 11u);
  EXPECT_EQ(Probe(pictures, "v:0", "stream=width,height"), "32\n32");
  // 0.4 s of 16-bit sound at 32 kHz, give or take an MPEG audio frame.
  const size_t bytes = WavData(sound).size();
  const size_t channels = Probe(sound, "a:0", "stream=channels") == "2" ? 2 : 1;
  EXPECT_EQ(Probe(sound, "a:0", "stream=codec_name,sample_rate"), "pcm_s16le\n32000");
  EXPECT_NEAR(double(bytes) / double(2 * channels * 32000), 0.4, 0.08);
}

// The Vexel 5 filter found for a video compressor of the build.
IVexelEncode* VexelIn(QmgHandle* handle) {
  GraphContext& context = *handle->graph;
  for (int entry = 0; entry < context.filterCount; ++entry) {
    if (context.filters[entry].kind != kKindVideoCompressor) continue;
    IVexelEncode* encoder = nullptr;
    if (SUCCEEDED(context.filters[entry].filter->QueryInterface(IID_IVexelEncode,
                                                                reinterpret_cast<void**>(&encoder)))) {
      return encoder;
    }
  }
  return nullptr;
}

// A compressor name that matches nothing writes the frames uncompressed;
// with the Vexel choice on, the Vexel 5 encoder (registered above the other
// video compressors, so met before the name the camera access library
// gives) takes its place and is told to compress quickly; the
// split build through it says so in the debug output.
TEST_F(FileBuilds, CompressorNamesThatMatchNothingGiveRawFramesOrTheVexelEncoder) {
  const std::string raw = root_.Path("raw.avi"), vexel = root_.Path("vexel.avi");
  const std::string again = root_.Path("again.avi");

  FrameFeed rawFeed;
  rawFeed.frames = 4;
  QmgHandle* plain = Handle();
  ASSERT_EQ(QMG_BuildImage2AVI(plain, rawFeed.width, rawFeed.height, 24, FrameFeed::Next, rawFeed.user(),
                               raw.c_str(), "No Such Codec"),
            1);
  ASSERT_TRUE(RunToCompletion(plain));
  ExpectVideoOnly(raw, 0 /* BI_RGB */, rawFeed.frames);

  FrameFeed vexelFeed;
  vexelFeed.frames = 4;
  QmgHandle* chosen = Handle();
  ASSERT_EQ(QMG_UseVexel5CompressionFilter(chosen, 1), 1);
  ASSERT_EQ(QMG_BuildImage2AVI(chosen, vexelFeed.width, vexelFeed.height, 24, FrameFeed::Next,
                               vexelFeed.user(), vexel.c_str(), "Cinepak Codec by Radius"),
            1);
  IVexelEncode* encoder = VexelIn(chosen);
  ASSERT_NE(encoder, nullptr) << "the Vexel 5 encoder was not taken";
  DWORD quick = 0;
  LONG quality = 0;
  EXPECT_EQ(encoder->GetQuickCompress(&quick), S_OK);
  EXPECT_EQ(quick, 1u) << "the user's settings say off; the build's record says on";
  EXPECT_EQ(encoder->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 75) << "quality level 6 of the record";
  encoder->Release();
  ASSERT_TRUE(RunToCompletion(chosen));
  ExpectVideoOnly(vexel, Fourcc("MJPG"), vexelFeed.frames);

  ::setenv("KSV_DEBUG", "1", 1);
  ::testing::internal::CaptureStderr();
  QmgHandle* split = Handle();
  const int32_t built =
      QMG_BuildAVI2AviWave(split, raw.c_str(), again.c_str(), nullptr, VEXEL5_FRIENDLY_NAME, nullptr);
  const std::string debug = ::testing::internal::GetCapturedStderr();
  ::unsetenv("KSV_DEBUG");
  ASSERT_EQ(built, 1);
  EXPECT_NE(debug.find("QuickCompress on Vexel succeeded!\n"), std::string::npos) << debug;
  ASSERT_TRUE(RunToCompletion(split));
  ExpectVideoOnly(again, Fourcc("MJPG"), rawFeed.frames);
}

std::vector<int32_t> heard;  // the client callback's codes, other than ticks
void HearEvents(int32_t code, intptr_t) {
  if (code != QMG_CODE_TICK && code != QMG_CODE_TICK_ESCAPE) heard.push_back(code);
}

// A graph that stops on an error never completes: the client hears of the
// error (and of a completion) by its own code, before the drained events'.
TEST_F(FileBuilds, TheClientHearsOfAnErrorThatStopsTheGraphAndOfCompletion) {
  FrameFeed feed;
  feed.frames = 2;
  QmgHandle* handle = Handle();
  ASSERT_EQ(QMG_BuildImage2AVI(handle, feed.width, feed.height, 24, FrameFeed::Next, feed.user(),
                               root_.Path("aborted.avi").c_str(), "No Such Codec"),
            1);
  heard.clear();
  ASSERT_EQ(QMG_SetCallbackProc(handle, HearEvents, 0), 1);
  com::ComPtr<IMediaEventSink> sink;
  ASSERT_EQ(handle->graph->graph->QueryInterface(IID_IMediaEventSink,
                                                 reinterpret_cast<void**>(sink.GetAddressOf())),
            S_OK);
  ASSERT_EQ(sink->Notify(EC_ERRORABORT, E_FAIL, 0), S_OK);
  MSG message{};
  for (int guard = 0; heard.empty() && guard < 100 && GetMessageA(&message, nullptr, 0, 0) > 0; ++guard) {
    DispatchMessageA(&message);
  }
  EXPECT_EQ(heard, (std::vector<int32_t>{QMG_CODE_ERROR_ABORT, QMG_CODE_GRAPH_EVENTS}));

  heard.clear();
  ASSERT_TRUE(RunToCompletion(handle));
  EXPECT_EQ(heard, (std::vector<int32_t>{QMG_CODE_COMPLETE, QMG_CODE_GRAPH_EVENTS}));
}

}  // namespace
}  // namespace ksv::graph::testing
