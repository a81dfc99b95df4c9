// `ksvcam graph` on files, as the README shows it: remuxing an AVI,
// extracting its sound to WAV, and decoding an MPEG-1 file's sound to WAV,
// with the standard filters that `setup` registers from the build's lib/ksv.
// FFmpeg makes the inputs and judges the outputs (the tests skip without it).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam::testing {
namespace {

namespace fs = std::filesystem;

class MediaFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1);
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
    const CommandRun setup = RunKsvcam({"setup"});
    ASSERT_EQ(setup.status, 0) << setup.err;
  }
  void TearDown() override {
    ::unsetenv("KSV_MODULE_DIR");
    ::unsetenv("KSV_ROOT");
  }

  // Two seconds of Motion JPEG at 25 frames per second with a 22,050 Hz
  // tone, written by ffmpeg.
  fs::path MakeAvi() {
    const fs::path path = folder_ / "in.avi";
    const int status = std::system(
        ("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i "
         "sine=frequency=440:sample_rate=22050:duration=2 -c:v mjpeg -c:a pcm_s16le '" +
         path.string() + "'")
            .c_str());
    EXPECT_EQ(status, 0);
    return path;
  }

  TempFolder folder_;
};

TEST_F(MediaFiles, RemuxKeepsEveryFrameAndTheSound) {
  const fs::path in = MakeAvi();
  const fs::path out = folder_ / "out.avi";
  const CommandRun run = RunKsvcam({"graph", "File Source (Async.) file=" + in.string() +
                                                 " ! AVI Splitter ! AVI Mux ! File writer file=" +
                                                 out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(out));
  EXPECT_EQ(Probe(out, "v:0", "codec_name,width,height,nb_read_packets"), "mjpeg,160,120,50");
  EXPECT_EQ(Probe(out, "a:0", "codec_name,sample_rate,channels"), "pcm_s16le,22050,1");
  EXPECT_EQ(Probe(out, "a:0", "nb_read_packets").empty(), false);
  EXPECT_TRUE(DecodesCleanly(out));
  // The same pictures, byte for byte.
  const std::string hashIn = ShellOutput("ffmpeg -v error -i '" + in.string() +
                                    "' -map 0:v -c copy -f hash -hash md5 -");
  const std::string hashOut = ShellOutput("ffmpeg -v error -i '" + out.string() +
                                     "' -map 0:v -c copy -f hash -hash md5 -");
  EXPECT_FALSE(hashIn.empty());
  EXPECT_EQ(hashIn, hashOut);
}

TEST_F(MediaFiles, SoundOfAnAviGoesToAWavFile) {
  const fs::path in = MakeAvi();
  const fs::path out = folder_ / "out.wav";
  const CommandRun run = RunKsvcam({"graph", "File Source (Async.) file=" + in.string() +
                                                 " ! AVI Splitter ! WAV Dest ! File writer file=" +
                                                 out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Probe(out, "a:0", "codec_name,sample_rate,channels"), "pcm_s16le,22050,1");
  const std::string hashIn = ShellOutput("ffmpeg -v error -i '" + in.string() +
                                    "' -map 0:a -f s16le -acodec copy - | md5sum");
  const std::string hashOut = ShellOutput("ffmpeg -v error -i '" + out.string() +
                                     "' -map 0:a -f s16le -acodec copy - | md5sum");
  EXPECT_FALSE(hashIn.empty());
  EXPECT_EQ(hashIn, hashOut);
}

TEST_F(MediaFiles, SoundOfAnMpegFileIsDecodedToWav) {
  const fs::path in = folder_ / "in.mpg";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                         "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                         "-c:v mpeg1video -c:a mp2 -f mpeg '" +
                         in.string() + "'")
                            .c_str()),
            0);
  const fs::path out = folder_ / "out.wav";
  const CommandRun run = RunKsvcam(
      {"graph", "File Source (Async.) file=" + in.string() +
                    " ! MPEG-I Stream Splitter ! MPEG Audio Decoder ! WAV Dest ! File writer file=" +
                    out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Probe(out, "a:0", "codec_name,sample_rate,channels"), "pcm_s16le,44100,1");
  const double seconds = std::atof(Probe(out, "a:0", "duration").c_str());
  EXPECT_NEAR(seconds, 2.0, 0.06);
  EXPECT_TRUE(DecodesCleanly(out));
}

TEST_F(MediaFiles, AFileTheSplitterRefusesLeavesNoOutput) {
  // An AVI cut inside its headers: the splitter refuses it, the command
  // fails, and nothing appears under the output's name, not even a
  // temporary file beside it. (A graph failing mid-file is the mux's and
  // the writer's own test.)
  const fs::path in = MakeAvi();
  const fs::path out = folder_ / "out.avi";
  fs::resize_file(in, 100);
  const CommandRun run = RunKsvcam({"graph", "File Source (Async.) file=" + in.string() +
                                                 " ! AVI Splitter ! AVI Mux ! File writer file=" +
                                                 out.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(out));
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    EXPECT_EQ(entry.path().filename().string().find("out.avi"), std::string::npos)
        << entry.path();
  }
}

// The camera and the renderers from the command line: the camera through
// the Vexel 5 encoder into a Motion JPEG AVI, the camera shown through the
// AVI Decompressor in the Video Renderer's window (offscreen here), and an
// IMA ADPCM WAV played on the audio renderer (its no-device path).
TEST_F(MediaFiles, TheCameraIsCapturedAndShownAndAWavIsPlayed) {
  const fs::path clip = folder_ / "camera.avi";
  const CommandRun capture = RunKsvcam(
      {"graph", "--seconds", "0.5",
       "RMC900 USB Camera ! Vexel 5 Video Encoder ! AVI Mux ! File writer file=" + clip.string()});
  ASSERT_EQ(capture.status, 0) << capture.err;
  EXPECT_EQ(Probe(clip, "v:0", "codec_name,width,height"), "mjpeg,320,240");
  // Real time: a slow (sanitized, loaded) machine may get only a few frames.
  EXPECT_GT(std::atoi(Probe(clip, "v:0", "nb_read_packets").c_str()), 0);
  EXPECT_TRUE(DecodesCleanly(clip));

  const CommandRun show = RunKsvcam(
      {"graph", "--verbose", "--seconds", "0.3",
       "RMC900 USB Camera ! AVI Decompressor ! Video Renderer"});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("'AVI Decompressor'.'XForm Out' -> 'Video Renderer'.'In'  Video/RGB24"),
            std::string::npos)
      << show.out;
  EXPECT_NE(show.out.find("graph stopped after --seconds"), std::string::npos) << show.out;

  const fs::path sound = folder_ / "tone.wav";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=11025:"
                         "duration=0.3 -c:a adpcm_ima_wav '" + sound.string() + "'").c_str()),
            0);
  ::setenv("KSV_AUDIO", "none", 1);
  const CommandRun play = RunKsvcam(
      {"graph", "--verbose",
       "File Source (Async.) file=" + sound.string() + " ! Wave Parser ! Default DirectSound Device"});
  ::unsetenv("KSV_AUDIO");
  ASSERT_EQ(play.status, 0) << play.err;
  EXPECT_NE(play.out.find("'ACM Wrapper'.'XForm Out' -> 'Default DirectSound Device'"),
            std::string::npos)
      << play.out;
  EXPECT_NE(play.out.find("graph completed (EC_COMPLETE)"), std::string::npos) << play.out;
}

// Sound that is already compressed is decoded by the ACM Wrapper before it
// is compressed again, and the summary names the format in words.
TEST_F(MediaFiles, CompressedSoundIsRecompressedAndNamedInWords) {
  const fs::path sound = folder_ / "tone.wav";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=11025:"
                         "duration=0.5 -c:a adpcm_ima_wav '" + sound.string() + "'").c_str()),
            0);
  const fs::path out = folder_ / "mulaw.wav";
  const CommandRun run = RunKsvcam(
      {"wav", "compress", sound.string(), "-o", out.string(), "--compressor", "CCITT u-Law"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" s of sound, 11025 Hz mono mu-law\n"), std::string::npos) << run.out;
  EXPECT_EQ(Probe(out, "a:0", "codec_name,sample_rate,channels"), "pcm_mulaw,11025,1");
}

}  // namespace
}  // namespace ksv::ksvcam::testing
