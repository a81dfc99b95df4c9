// `ksvcam capture` and `ksvcam registry`: the whole driver life on the
// simulated camera, seen from the command line.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "apps/ksvcam/tests/test_support.h"
#include "codec/frame_format.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::RunKsvcam;
using testing::TempFolder;

class CaptureCommand : public ::testing::Test {
 protected:
  CaptureCommand() { ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1); }
  ~CaptureCommand() override { ::unsetenv("KSV_ROOT"); }
  TempFolder folder_;
};

// The y4m stream: its header line, then "FRAME\n" and a planar picture per frame.
void ExpectY4m(const fs::path& path, codec::FrameSize size, size_t frames) {
  const std::vector<uint8_t> file = testing::ReadBytes(path);
  const std::string header = "YUV4MPEG2 W" + std::to_string(size.width) + " H" +
                             std::to_string(size.height) + " F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n";
  ASSERT_GE(file.size(), header.size());
  EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<long>(header.size())), header);
  EXPECT_EQ(file.size(), header.size() + frames * (6 + codec::PlanarBytes(size)));
  EXPECT_EQ(std::string(file.begin() + static_cast<long>(header.size()),
                        file.begin() + static_cast<long>(header.size()) + 6),
            "FRAME\n");
}

TEST_F(CaptureCommand, WritesAPlayableStreamAtBothSizesAndTheDriverStatesInOrder) {
  const CommandRun large = RunKsvcam({"capture", "-o", (folder_ / "large.y4m").string(),
                                      "--frames", "12"});
  ASSERT_EQ(large.status, 0) << large.err;
  ExpectY4m(folder_ / "large.y4m", {320, 240}, 12);
  EXPECT_NE(large.out.find("12 frames 320x240 i420 (0 damaged"), std::string::npos) << large.out;
  EXPECT_NE(large.out.find("DriverStatus 1 2 3 5 7 8"), std::string::npos) << large.out;

  const CommandRun small = RunKsvcam({"capture", "--size", "160x120", "--fps", "0", "-o",
                                      (folder_ / "small.y4m").string(), "--frames", "5"});
  ASSERT_EQ(small.status, 0) << small.err;
  ExpectY4m(folder_ / "small.y4m", {160, 120}, 5);

  const CommandRun status = RunKsvcam({"registry", "get", "DriverStatus"});
  ASSERT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out, "8\n");
}

// Ctrl-C (here a SIGINT to this process, sent once the stream's temporary
// file is there) ends a long capture after the frame it came in: the file
// under its name holds every frame the summary counts, and nothing else is
// left. (Before, the signal ended the process and left the hidden file.)
TEST_F(CaptureCommand, CtrlCEndsTheCaptureWithItsFileWhole) {
  const fs::path out = folder_ / "out";
  fs::create_directories(out);
  std::atomic<bool> done{false};
  std::thread person([&] {
    while (!done) {
      for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().filename().string().rfind(".long.y4m.part-", 0) == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          ::kill(::getpid(), SIGINT);
          return;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const CommandRun run =
      RunKsvcam({"capture", "-o", (out / "long.y4m").string(), "--frames", "100000"});
  done = true;
  person.join();
  ASSERT_EQ(run.status, 0) << run.err;
  std::smatch frames;
  ASSERT_TRUE(std::regex_search(run.out, frames, std::regex("capture: (\\d+) frames?"))) << run.out;
  const size_t count = std::stoul(frames[1]);
  EXPECT_GT(count, 0u);
  EXPECT_LT(count, 100000u);
  ExpectY4m(out / "long.y4m", {320, 240}, count);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

// -o - puts the stream on standard output for a player and the summary on
// stderr; a reader that goes away ends a long capture at once with one line
// (before, -o wanted a .y4m name).
TEST_F(CaptureCommand, StreamsToStandardOutputForAPlayer) {
  const std::string capture = std::string("'") + KSVCAM_BINARY + "' capture -o -";
  const fs::path stream = folder_ / "piped.y4m";
  const fs::path messages = folder_ / "messages.txt";
  // Through a pipe, as a player reads it: a frame is larger than the pipe.
  testing::ShellOutput(capture + " -n 4 2>'" + messages.string() + "' | cat >'" +
                       stream.string() + "'");
  ExpectY4m(stream, {320, 240}, 4);
  const std::vector<uint8_t> summary = testing::ReadBytes(messages);
  EXPECT_NE(std::string(summary.begin(), summary.end()).find("wrote 4 frames to standard output"),
            std::string::npos);

  const fs::path status = folder_ / "status.txt";
  testing::ShellOutput("(" + capture + " -n 100000 2>'" + messages.string() + "'; echo $? >'" +
                       status.string() + "') | head -c 1000 >/dev/null");
  const std::vector<uint8_t> code = testing::ReadBytes(status);
  EXPECT_EQ(std::string(code.begin(), code.end()), "1\n");
  const std::vector<uint8_t> error = testing::ReadBytes(messages);
  EXPECT_NE(std::string(error.begin(), error.end()).find("the reader of standard output went away"),
            std::string::npos);
}

TEST_F(CaptureCommand, PacingAtHalfTheCameraRateDropsEveryOtherFrame) {
  const CommandRun run = RunKsvcam({"capture", "--fps", "15", "--frames", "6"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Every other frame is dropped once the pacing has locked onto the
  // camera's frames; the two frames it starts with may both be kept.
  const bool everyOther =
      run.out.find("(0 damaged, 0 not decodable, 6 dropped by pacing)") != std::string::npos ||
      run.out.find("(0 damaged, 0 not decodable, 5 dropped by pacing)") != std::string::npos;
  EXPECT_TRUE(everyOther) << run.out;
}

TEST_F(CaptureCommand, WritesPicturesIntoAFolderAndKeepsEarlierOnes) {
  const fs::path out = folder_ / "pictures";
  CommandRun run = RunKsvcam({"capture", "--format", "bgr24", "--out", out.string(), "-n", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(out / "frame_000002.bmp"));
  run = RunKsvcam({"capture", "--format", "bgr24", "--out", out.string(), "-n", "2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("-y/--overwrite"), std::string::npos) << run.err;
  run = RunKsvcam({"capture", "--out", out.string(), "-n", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(out / "frame_000001.png"));
}

TEST_F(CaptureCommand, RefusesWhatCannotWorkWithOneClearLine) {
  EXPECT_EQ(RunKsvcam({"capture", "--size", "640x480"}).status, 2);
  EXPECT_EQ(RunKsvcam({"capture", "--format", "bgr24", "-o", "x.y4m"}).status, 2);
  EXPECT_EQ(RunKsvcam({"capture", "-o", "x.avi"}).status, 2);
  EXPECT_EQ(RunKsvcam({"capture", "--fps", "0.5"}).status, 2);

  const CommandRun clash = RunKsvcam({"capture", "-o", "x.y4m", "--out", "dir"});
  EXPECT_EQ(clash.status, 2);
  EXPECT_NE(clash.err.find("not both"), std::string::npos) << clash.err;
}

TEST_F(CaptureCommand, TheRegistryToolListsSetsGetsAndDeletes) {
  ASSERT_EQ(RunKsvcam({"registry", "set", "Brightness", "0x90"}).status, 0);
  ASSERT_EQ(RunKsvcam({"registry", "set", "WiaRootPath", "/srv/pictures", "-t", "sz"}).status,
            0);
  const CommandRun list = RunKsvcam({"registry", "list"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("HKEY_LOCAL_MACHINE\\Software\\Tarvio\\KSV Drivers\n"),
            std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("Brightness    REG_DWORD    0x90 (144)"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("WiaRootPath    REG_SZ    /srv/pictures"), std::string::npos);
  EXPECT_EQ(RunKsvcam({"registry", "get", "brightness"}).out, "144\n");
  EXPECT_EQ(RunKsvcam({"registry", "set", "X", "-1"}).status, 0);
  EXPECT_EQ(RunKsvcam({"registry", "get", "X"}).out, "4294967295\n");
  EXPECT_EQ(RunKsvcam({"registry", "delete", "Brightness"}).status, 0);
  const CommandRun gone = RunKsvcam({"registry", "get", "Brightness"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.err.find("no value 'Brightness'"), std::string::npos) << gone.err;
  EXPECT_EQ(RunKsvcam({"registry", "set", "Y", "12x"}).status, 2);
  EXPECT_EQ(RunKsvcam({"registry", "set", "Y", "1", "-t", "binary"}).status, 2);
}

}  // namespace
}  // namespace ksv::ksvcam
