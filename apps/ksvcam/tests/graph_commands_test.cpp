// The subcommands over the media graph library (devices, record, preview,
// avi images|merge|split) end to end: over a fresh system root set up from
// the build's lib/ksv, with no display, their files judged by ffprobe and
// ffmpeg (the tests that need them skip without).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <regex>
#include <chrono>
#include <string>
#include <thread>

#include "apps/ksvcam/tests/test_support.h"
#include "platform/ui/input.h"
#include "support/picture/picture_file.h"

namespace ksv::ksvcam::testing {
namespace {

namespace fs = std::filesystem;

class GraphCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KSV_ROOT", (folder_.path() / "root").c_str(), 1);
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
    ::setenv("KSV_HEADLESS", "1", 1);
    const CommandRun setup = RunKsvcam({"setup"});
    ASSERT_EQ(setup.status, 0) << setup.err;
  }
  void TearDown() override {
    ::unsetenv("KSV_HEADLESS");
    ::unsetenv("KSV_MODULE_DIR");
    ::unsetenv("KSV_ROOT");
  }

  // The names listed under `heading` by `ksvcam devices`.
  std::vector<std::string> Listed(const std::string& devices, const std::string& heading) {
    std::vector<std::string> names;
    const size_t start = devices.find(heading + " (");
    if (start == std::string::npos) return names;
    size_t at = devices.find('\n', start) + 1;
    while (at < devices.size() && devices.compare(at, 2, "  ") == 0) {
      const size_t end = devices.find('\n', at);
      names.push_back(devices.substr(at + 2, end - at - 2));
      at = end + 1;
    }
    return names;
  }

  TempFolder folder_;
};

TEST_F(GraphCommands, DevicesListsTheSimulatedDevicesAndBadRequestsAreUsageErrors) {
  const CommandRun devices = RunKsvcam({"devices"});
  ASSERT_EQ(devices.status, 0) << devices.err;
  EXPECT_EQ(Listed(devices.out, "video capture devices"),
            std::vector<std::string>{"RMC900 USB Camera"})
      << devices.out;
  EXPECT_EQ(Listed(devices.out, "audio capture devices"),
            std::vector<std::string>{"KSV Simulated Microphone"})
      << devices.out;
  EXPECT_FALSE(Listed(devices.out, "video compressors").empty()) << devices.out;
  EXPECT_FALSE(Listed(devices.out, "audio compressors").empty()) << devices.out;

  // A device that is not there is named with the choices, before any graph.
  const CommandRun device = RunKsvcam({"record", "-o", (folder_ / "x.avi").string(), "--device",
                                       "No Such Camera", "--seconds", "1"});
  EXPECT_EQ(device.status, 2);
  EXPECT_NE(device.err.find("--device 'No Such Camera' is not an installed video capture device "
                            "(choose 'RMC900 USB Camera')"),
            std::string::npos)
      << device.err;
  EXPECT_FALSE(fs::exists(folder_ / "x.avi"));
  // A size the camera does not offer is refused with those it does.
  const CommandRun size = RunKsvcam({"record", "-o", (folder_ / "x.avi").string(), "--size",
                                     "640x480", "--seconds", "1"});
  EXPECT_EQ(size.status, 2);
  EXPECT_NE(size.err.find("--size 640x480: 'RMC900 USB Camera' does not offer it (choose "
                          "320x240 or 160x120)"),
            std::string::npos)
      << size.err;
  const CommandRun split = RunKsvcam({"avi", "split", (folder_ / "x.avi").string()});
  EXPECT_EQ(split.status, 2);
  EXPECT_NE(split.err.find("give --avi OUT.avi, --wav OUT.wav or both"), std::string::npos);
  const CommandRun missing = RunKsvcam({"avi", "merge", (folder_ / "none.avi").string(),
                                        (folder_ / "none.wav").string(), "-o",
                                        (folder_ / "m.avi").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1) << "one line: " << missing.err;
}

TEST_F(GraphCommands, RecordWritesTheCamerasFramesAndTheMicrophonesSound) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  const fs::path out = folder_ / "record.avi";
  const CommandRun run =
      RunKsvcam({"record", "-o", out.string(), "--size", "320x240", "--seconds", "1.5"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::smatch said;
  ASSERT_TRUE(std::regex_search(run.out, said, std::regex(R"((\d+) frames of 320x240 )")))
      << run.out;
  const int frames = std::stoi(said[1]);
  EXPECT_EQ(Probe(out, "v:0", "width,height"), "320,240");
  // The first video chunk of the index is a key frame with data, not an
  // empty chunk for a frame dropped before the first one came.
  const std::vector<uint8_t> file = ReadBytes(out);
  const std::string text(file.begin(), file.end());
  const size_t index = text.rfind("idx1");
  ASSERT_NE(index, std::string::npos);
  const size_t first = text.find("00d", index + 8);
  ASSERT_NE(first, std::string::npos);
  ASSERT_LE(first + 16, file.size());
  const auto le32 = [&](size_t at) {
    return uint32_t(file[at]) | uint32_t(file[at + 1]) << 8 | uint32_t(file[at + 2]) << 16 |
           uint32_t(file[at + 3]) << 24;
  };
  EXPECT_NE(le32(first + 4) & 0x10, 0u) << "a key frame";
  EXPECT_GT(le32(first + 12), 0u) << "a frame with data";
  // ffprobe counts the frames the summary read back, and they span the
  // time recorded at the camera's rate.
  EXPECT_EQ(Probe(out, "v:0", "nb_read_packets"), std::to_string(frames));
  const double rate = std::atof(ShellOutput("ffprobe -v error -select_streams v:0 -show_entries "
                                            "stream=avg_frame_rate -of csv=p=0 '" +
                                            out.string() + "' | awk -F/ '{print $1/$2}'")
                                    .c_str());
  ASSERT_GT(rate, 0);
  // The capture runs in real time: under the sanitizers, on a loaded
  // machine, the camera's frames may come at a fraction of their rate.
  EXPECT_GE(frames, rate * 0.25) << "frames at " << rate << " per second";
  EXPECT_LE(frames, rate * 2.0) << "frames at " << rate << " per second";
  // The microphone's sound: about as long as the video, and not silence.
  const double soundSeconds =
      static_cast<double>(ShellOutput("ffmpeg -v error -i '" + out.string() +
                                      "' -map 0:a -f s16le -ac 1 -ar 8000 -")
                              .size()) /
      16000;
  EXPECT_GT(soundSeconds, 1.0);
  EXPECT_LT(soundSeconds, 2.5);
  const std::string loudness = ShellOutput("ffmpeg -v info -i '" + out.string() +
                                           "' -map 0:a -af volumedetect -f null - 2>&1");
  std::smatch peak;
  ASSERT_TRUE(std::regex_search(loudness, peak, std::regex(R"(max_volume: (-?[\d.]+) dB)")))
      << loudness;
  EXPECT_GT(std::stod(peak[1]), -40.0) << "the sound is silent";
  EXPECT_TRUE(DecodesCleanly(out));
}

TEST_F(GraphCommands, EscapeEndsALiveCaptureAndKeepsWhatWasRecorded) {
  const fs::path out = folder_ / "sound.wav";
  // Escape pressed while the capture runs reaches the command through the
  // library's timer (callback code 1), long before --seconds.
  std::thread person([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ksv::platform::ui::input::PressKey(VK_ESCAPE);
  });
  const auto start = std::chrono::steady_clock::now();
  const CommandRun run = RunKsvcam({"record-audio", "-o", out.string(), "--seconds", "20"});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  person.join();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("stopped by Escape"), std::string::npos) << run.out;
  EXPECT_LT(seconds, 5.0);
  std::smatch said;
  ASSERT_TRUE(std::regex_search(run.out, said, std::regex(R"(: ([\d.]+) s of sound, 44100 Hz)")))
      << run.out;
  EXPECT_GT(std::stod(said[1]), 0.3);
}

// A picture whose pixels tell rows, columns and frames apart.
picture::RgbPicture TestPicture(uint32_t width, uint32_t height, int frame) {
  picture::RgbPicture picture = picture::BlankRgb(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = &picture.pixels[(size_t{y} * width + x) * 3];
      pixel[0] = static_cast<uint8_t>(x * 4);
      pixel[1] = static_cast<uint8_t>(y * 5);
      pixel[2] = static_cast<uint8_t>(frame * 20);
    }
  }
  return picture;
}

TEST_F(GraphCommands, PicturesToAviThenMergeAndSplitRoundTrip) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  const fs::path pictures = folder_ / "pictures";
  fs::create_directories(pictures);
  for (int frame = 0; frame < 8; ++frame) {
    picture::WritePicture(pictures / ("p" + std::to_string(frame) + ".png"),
                          TestPicture(64, 48, frame));
  }
  // A picture of another size is framed to the first one's.
  picture::WritePicture(pictures / "p8.png", TestPicture(128, 48, 8));
  const fs::path video = folder_ / "video.avi";
  const CommandRun images =
      RunKsvcam({"avi", "images", pictures.string(), "-o", video.string(), "--fps", "20"});
  ASSERT_EQ(images.status, 0) << images.err;
  EXPECT_EQ(Probe(video, "v:0", "codec_name,width,height,nb_read_packets"), "rawvideo,64,48,9");
  EXPECT_EQ(Probe(video, "v:0", "avg_frame_rate"), "20/1");
  // Uncompressed: every frame is its picture, exactly.
  const std::string third = ShellOutput("ffmpeg -v error -i '" + video.string() +
                                        "' -vf 'select=eq(n\\,2)' -frames:v 1 -f rawvideo "
                                        "-pix_fmt rgb24 - | md5sum");
  const picture::RgbPicture expected = TestPicture(64, 48, 2);
  const fs::path raw = folder_ / "third.rgb";
  WriteBytes(raw, expected.pixels);
  EXPECT_EQ(third, ShellOutput("md5sum < '" + raw.string() + "'"));

  const fs::path sound = folder_ / "sound.wav";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=22050:"
                         "duration=0.9 -c:a pcm_s16le '" + sound.string() + "'")
                            .c_str()),
            0);
  const fs::path merged = folder_ / "merged.avi";
  const CommandRun merge =
      RunKsvcam({"avi", "merge", video.string(), sound.string(), "-o", merged.string()});
  ASSERT_EQ(merge.status, 0) << merge.err;
  EXPECT_EQ(Probe(merged, "v:0", "codec_name,width,height,nb_read_packets"), "rawvideo,64,48,9");
  EXPECT_EQ(Probe(merged, "a:0", "codec_name,sample_rate,channels"), "pcm_s16le,22050,1");
  EXPECT_TRUE(DecodesCleanly(merged));

  const fs::path videoBack = folder_ / "back.avi";
  const fs::path soundBack = folder_ / "back.wav";
  const CommandRun split = RunKsvcam({"avi", "split", merged.string(), "--avi",
                                      videoBack.string(), "--wav", soundBack.string()});
  ASSERT_EQ(split.status, 0) << split.err;
  EXPECT_EQ(Probe(videoBack, "a", "codec_type"), "") << "the AVI output carries video only";
  // The round trip keeps every frame and every sample.
  const auto hash = [](const fs::path& file, const char* stream) {
    return ShellOutput("ffmpeg -v error -i '" + file.string() + "' -map 0:" + stream +
                       " -f hash -hash md5 -");
  };
  EXPECT_FALSE(hash(video, "v").empty());
  EXPECT_EQ(hash(videoBack, "v"), hash(video, "v"));
  EXPECT_FALSE(hash(sound, "a").empty());
  EXPECT_EQ(hash(soundBack, "a"), hash(sound, "a"));
}

// A summary counts in words and gives the length of the file written.
TEST_F(GraphCommands, OnePictureIsOneFrameInTheSummary) {
  const fs::path pictures = folder_ / "one";
  fs::create_directories(pictures);
  picture::WritePicture(pictures / "p.png", TestPicture(64, 48, 0));
  const fs::path video = folder_ / "one.avi";
  const CommandRun run = RunKsvcam({"avi", "images", pictures.string(), "-o", video.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(": 1 frame of 64x48 uncompressed at 25 fps (0.040 s), no sound, from 1 "
                         "picture in "),
            std::string::npos)
      << run.out;
  const CommandRun info = RunKsvcam({"avi", "info", video.string()});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find(": 1 stream, 64 x 48, 1 frame at "), std::string::npos) << info.out;
}

// A file plays at the rate asked for; an MPEG-1 file, which plays only at
// its own rate, is refused with a reason.
TEST_F(GraphCommands, PlayTakesARateAndAnMpegFileRefusesOne) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  const fs::path clip = folder_ / "clip.avi";
  const fs::path mpeg = folder_ / "clip.mpg";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i "
                         "sine=frequency=440:sample_rate=22050 -t 2 -c:v mjpeg -c:a pcm_s16le '" +
                         clip.string() + "' && ffmpeg -v error -y -f lavfi -i "
                         "testsrc=size=160x120:rate=25 -t 1 -c:v mpeg1video -f mpeg '" +
                         mpeg.string() + "'")
                            .c_str()),
            0);
  const CommandRun fast = RunKsvcam({"play", clip.string(), "--rate", "4"});
  ASSERT_EQ(fast.status, 0) << fast.err;
  std::smatch after;
  ASSERT_TRUE(std::regex_search(fast.out, after, std::regex("completed after ([0-9.]+) s")))
      << fast.out;
  EXPECT_LT(std::stod(after[1]), 1.2) << "two seconds of film at four times the rate";

  const CommandRun refused = RunKsvcam({"play", mpeg.string(), "--rate", "2"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("does not take the rate 2 (MPEG-1 files play at the normal rate only)"),
            std::string::npos)
      << refused.err;
}

// Whether every pixel of the rectangle is black or white, with both there.
bool OnlyBlackAndWhite(const picture::RgbPicture& shot, uint32_t left, uint32_t top,
                       uint32_t width, uint32_t height) {
  bool black = false;
  bool white = false;
  for (uint32_t y = top; y < top + height; ++y) {
    for (uint32_t x = left; x < left + width; ++x) {
      const uint8_t* pixel = &shot.pixels[(size_t{y} * shot.width + x) * 3];
      const bool isBlack = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
      const bool isWhite = pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255;
      if (!isBlack && !isWhite) return false;
      black = black || isBlack;
      white = white || isWhite;
    }
  }
  return black && white;
}

// How many distinct colours the picture holds (a camera picture, not a
// blank window).
size_t Colours(const picture::RgbPicture& shot) {
  std::vector<bool> seen(1 << 15);
  size_t count = 0;
  for (size_t at = 0; at + 2 < shot.pixels.size(); at += 3) {
    const size_t key = (shot.pixels[at] >> 3) << 10 | (shot.pixels[at + 1] >> 3) << 5 |
                       shot.pixels[at + 2] >> 3;
    if (!seen[key]) ++count;
    seen[key] = true;
  }
  return count;
}

TEST_F(GraphCommands, PreviewScreenshotShowsTheCameraWithTheCaption) {
  const fs::path captioned = folder_ / "captioned.png";
  const fs::path plain = folder_ / "plain.png";
  const CommandRun run = RunKsvcam({"preview", "--caption", "KSV TEST", "--seconds", "1",
                                    "--screenshot", captioned.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("stopped after --seconds"), std::string::npos) << run.out;
  const CommandRun again = RunKsvcam({"preview", "--seconds", "1", "--screenshot", plain.string()});
  ASSERT_EQ(again.status, 0) << again.err;

  const picture::RgbPicture shot = DecodePngFile(ReadBytes(captioned));
  const picture::RgbPicture without = DecodePngFile(ReadBytes(plain));
  ASSERT_EQ(shot.width, 320u);
  ASSERT_EQ(shot.height, 240u);
  ASSERT_EQ(without.width, 320u);
  // The caption: white letters on black in the caption's place (8 letters
  // of 12 x 16 pixels at 8, 8); the camera's picture everywhere else.
  EXPECT_TRUE(OnlyBlackAndWhite(shot, 8, 8, 8 * 12, 16));
  EXPECT_FALSE(OnlyBlackAndWhite(without, 8, 8, 8 * 12, 16));
  EXPECT_GT(Colours(shot), 50u);
  EXPECT_GT(Colours(without), 50u);
}

}  // namespace
}  // namespace ksv::ksvcam::testing
