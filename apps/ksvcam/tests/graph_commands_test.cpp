// The subcommands over the media graph library (devices, record, preview,
// avi images|merge|split) end to end: over a fresh system root set up from
// the build's lib/ksv, with no display, their files judged by ffprobe and
// ffmpeg (the tests that need them skip without).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
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
  EXPECT_GE(frames, rate * 0.15) << "frames at " << rate << " per second";
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

// The files of a folder, hidden ones included, sorted.
std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Nine small pictures as an uncompressed AVI, through `avi images`.
void MakeVideo(const fs::path& folder, const fs::path& video) {
  const fs::path pictures = folder / "pictures";
  fs::create_directories(pictures);
  for (int frame = 0; frame < 9; ++frame) {
    picture::WritePicture(pictures / ("p" + std::to_string(frame) + ".png"),
                          TestPicture(64, 48, frame));
  }
  const CommandRun images = RunKsvcam({"avi", "images", pictures.string(), "-o", video.string()});
  ASSERT_EQ(images.status, 0) << images.err;
}

TEST_F(GraphCommands, AnOutputIsReplacedOnlyWhenWholeAndNeverAnInputOrAFolder) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is needed";
  const fs::path work = folder_ / "work";
  fs::create_directories(work);
  const fs::path video = work / "v.avi";
  MakeVideo(folder_.path(), video);
  const fs::path sound = work / "a.wav";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=sample_rate=22050:duration=0.5 "
                         "-c:a pcm_s16le '" + sound.string() + "'").c_str()),
            0);
  const fs::path bad = work / "bad.avi";
  WriteBytes(bad, std::vector<uint8_t>(4096, 'x'));
  const fs::path precious = work / "precious.avi";
  const std::vector<uint8_t> kept{'k', 'e', 'p', 't'};
  WriteBytes(precious, kept);
  const std::vector<uint8_t> videoBytes = ReadBytes(video);

  // A merge that fails leaves the file that was there as it was.
  const CommandRun failed =
      RunKsvcam({"avi", "merge", bad.string(), sound.string(), "-o", precious.string()});
  EXPECT_EQ(failed.status, 1) << failed.out;
  EXPECT_EQ(ReadBytes(precious), kept);
  const fs::path preciousSound = work / "precious.wav";
  WriteBytes(preciousSound, kept);
  const CommandRun failedSplit =
      RunKsvcam({"avi", "split", bad.string(), "--wav", preciousSound.string()});
  EXPECT_EQ(failedSplit.status, 1);
  EXPECT_EQ(ReadBytes(preciousSound), kept);

  // An output that is an input, however spelled, is a usage error before
  // anything is written.
  const std::string sameVideo = (work / "." / ".." / "work" / "v.avi").string();
  const CommandRun self =
      RunKsvcam({"avi", "merge", video.string(), sound.string(), "-o", sameVideo});
  EXPECT_EQ(self.status, 2);
  EXPECT_NE(self.err.find("is the input"), std::string::npos) << self.err;
  EXPECT_EQ(ReadBytes(video), videoBytes);
  fs::create_hard_link(sound, work / "link.wav");
  const CommandRun linked =
      RunKsvcam({"wav", "compress", sound.string(), "-o", (work / "link.wav").string(), "-c",
                 "IMA ADPCM"});
  EXPECT_EQ(linked.status, 2) << linked.err;
  EXPECT_EQ(RunKsvcam({"avi", "split", video.string(), "--avi", video.string()}).status, 2);
  EXPECT_EQ(ReadBytes(video), videoBytes);
  EXPECT_EQ(RunKsvcam({"avi", "images", (folder_ / "pictures").string(), "-o",
                       (folder_ / "pictures" / "p3.png").string()})
                .status,
            2);
  // A folder of that name is never replaced.
  fs::create_directories(work / "taken.avi");
  const CommandRun folder =
      RunKsvcam({"record", "-o", (work / "taken.avi").string(), "--seconds", "1"});
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  EXPECT_TRUE(fs::is_directory(work / "taken.avi"));

  // A merge that works replaces the file, and leaves nothing else.
  const CommandRun merged =
      RunKsvcam({"avi", "merge", video.string(), sound.string(), "-o", precious.string()});
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(Probe(precious, "a:0", "codec_type"), "audio");
  EXPECT_EQ(FilesIn(work), (std::vector<std::string>{"a.wav", "bad.avi", "link.wav", "precious.avi",
                                                     "precious.wav", "taken.avi", "v.avi"}));
}

TEST_F(GraphCommands, EveryFileBuildEndsOrIsRefusedAtOnce) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is needed";
  const fs::path sound = folder_ / "voice.wav";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i sine=sample_rate=8000:duration=0.5 "
                         "-c:a pcm_s16le '" + sound.string() + "'").c_str()),
            0);
  // A WAV file's sound is a WAV file already; it has no video. (The
  // library's split of a WAV file writes nothing, and its graph never
  // ended.)
  const fs::path out = folder_ / "out.wav";
  const CommandRun split = RunKsvcam({"avi", "split", sound.string(), "--wav", out.string()});
  ASSERT_EQ(split.status, 0) << split.err;
  EXPECT_EQ(ReadBytes(out), ReadBytes(sound));
  const CommandRun video =
      RunKsvcam({"avi", "split", sound.string(), "--avi", (folder_ / "v.avi").string()});
  EXPECT_EQ(video.status, 2);
  EXPECT_NE(video.err.find("it has no video for --avi"), std::string::npos) << video.err;
  EXPECT_FALSE(fs::exists(folder_ / "v.avi"));

  // Graphs nothing could end are refused before they run.
  const CommandRun nothing = RunKsvcam({"graph", "File Source (Async.) file=" + sound.string()});
  EXPECT_EQ(nothing.status, 2);
  EXPECT_NE(nothing.err.find("nothing in the graph takes a stream"), std::string::npos)
      << nothing.err;
  const CommandRun starved = RunKsvcam(
      {"graph", "AVI Mux ! File writer file=" + (folder_ / "never.avi").string()});
  EXPECT_EQ(starved.status, 2);
  EXPECT_NE(starved.err.find("'AVI Mux' has no input connected"), std::string::npos)
      << starved.err;
  EXPECT_FALSE(fs::exists(folder_ / "never.avi"));
  // A live source with no --seconds and no terminal, as record refuses it.
  const int savedStdin = dup(STDIN_FILENO);
  const int null = open("/dev/null", O_RDONLY);
  dup2(null, STDIN_FILENO);
  close(null);
  const CommandRun live =
      RunKsvcam({"graph", "RMC900 USB Camera ! AVI Decompressor ! Video Renderer"});
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  EXPECT_EQ(live.status, 2);
  EXPECT_NE(live.err.find("give --seconds"), std::string::npos) << live.err;
}

// Opens the FIFO's writing end again and again after a delay, so that a
// reader that blocks on it is let go (and the test ends) even where the
// program waits for ever.
class FifoReleaser {
 public:
  explicit FifoReleaser(fs::path fifo)
      : thread_([this, fifo = std::move(fifo)] {
          std::this_thread::sleep_for(std::chrono::seconds(2));
          while (!done_) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        }) {}
  ~FifoReleaser() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST_F(GraphCommands, APipeGivenAsAnInputAndARateNoGraphCanPlayAreRefusedAtOnce) {
  const fs::path fifo = folder_ / "pipe.avi";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const FifoReleaser releaser(fifo);
  const std::vector<std::vector<std::string>> commands{
      {"avi-info", fifo.string()},
      {"stream", "--packets", fifo.string(), "-o", (folder_ / "s.y4m").string()},
      {"graph", "File Source (Async.) file=" + fifo.string() +
                    " ! AVI Splitter ! AVI Mux ! File writer file=" +
                    (folder_ / "g.avi").string()},
      {"avi-fix", fifo.string(), "-o", (folder_ / "f.avi").string()},
      {"play", fifo.string()},
      {"avi", "split", fifo.string(), "--wav", (folder_ / "w.wav").string()},
  };
  for (const auto& command : commands) {
    const auto start = std::chrono::steady_clock::now();
    const CommandRun run = RunKsvcam(command);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.status, 1) << command[0] << ": " << run.err;
    EXPECT_LT(seconds, 1.5) << command[0] << " waited on the pipe";
  }
  EXPECT_EQ(FilesIn(folder_.path()), (std::vector<std::string>{"pipe.avi", "root"}));

  for (const char* rate : {"nan", "inf", "1e-300", "0.01", "65"}) {
    const CommandRun play = RunKsvcam({"play", fifo.string(), "--rate", rate});
    EXPECT_EQ(play.status, 2) << rate << ": " << play.err;
    EXPECT_NE(play.err.find("--rate must be a number from 1/64 (0.015625) to 64"),
              std::string::npos)
        << rate << ": " << play.err;
  }
}

// ksvcam itself, in a process of its own (sharing this test's machine), so
// that it can be sent signals.
class KsvcamProcess {
 public:
  explicit KsvcamProcess(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<std::string> all{KSVCAM_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    spawned_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~KsvcamProcess() {
    if (spawned_ && !waited_) {
      kill(pid_, SIGKILL);
      Wait(10);
    }
  }
  bool spawned() const { return spawned_; }
  // Waits (at most a minute) until a hidden file appears in `folder`: the
  // output is being written, and Ctrl-C is the command's to handle.
  static void WaitForTemporary(const fs::path& folder) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind('.', 0) == 0) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void Signal(int number) { kill(pid_, number); }
  // The wait status, or nothing when it has not ended within `seconds`.
  std::optional<int> Wait(double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        waited_ = true;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  bool spawned_ = false;
  bool waited_ = false;
};

TEST_F(GraphCommands, CtrlCFinishesTheRecordingAndASecondLeavesNothing) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  const fs::path out = folder_ / "out";
  fs::create_directories(out);
  const fs::path file = out / "take.avi";
  {
    KsvcamProcess record({"record", "-o", file.string(), "--seconds", "30"}, folder_ / "log1");
    ASSERT_TRUE(record.spawned());
    KsvcamProcess::WaitForTemporary(out);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    record.Signal(SIGINT);
    const std::optional<int> status = record.Wait(30);
    ASSERT_TRUE(status.has_value()) << "still recording 30 s after Ctrl-C";
    const std::string log = ShellOutput("cat '" + (folder_ / "log1").string() + "'");
    ASSERT_TRUE(WIFEXITED(*status)) << log;
    EXPECT_EQ(WEXITSTATUS(*status), 0) << log;
    EXPECT_NE(log.find("stopped by a signal (Ctrl-C)"), std::string::npos) << log;
  }
  EXPECT_EQ(FilesIn(out), std::vector<std::string>{"take.avi"});
  const double seconds = std::atof(
      ShellOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                  file.string() + "'").c_str());
  // About the three seconds recorded (less the time the graph took to
  // start, long under the sanitizers).
  EXPECT_GT(seconds, 0.5);
  EXPECT_LT(seconds, 3.5);
  EXPECT_TRUE(DecodesCleanly(file));

  // A second signal while the first is handled abandons the file: nothing
  // is left, not even the hidden temporary, and the take before stays.
  const fs::path voice = out / "voice.wav";
  const std::vector<uint8_t> before{'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  WriteBytes(voice, before);
  {
    KsvcamProcess record({"record-audio", "-o", voice.string(), "--seconds", "30"},
                         folder_ / "log2");
    ASSERT_TRUE(record.spawned());
    KsvcamProcess::WaitForTemporary(out);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    record.Signal(SIGINT);
    record.Signal(SIGTERM);
    const std::optional<int> status = record.Wait(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status)) << ShellOutput("cat '" + (folder_ / "log2").string() + "'");
  }
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"take.avi", "voice.wav"}));
  EXPECT_EQ(ReadBytes(voice), before);
}

}  // namespace
}  // namespace ksv::ksvcam::testing
