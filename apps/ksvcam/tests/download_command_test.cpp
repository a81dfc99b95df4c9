// `ksvcam download` and `ksvcam info` on a camera memory image.
#include "apps/ksvcam/commands.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "apps/ksvcam/tests/test_support.h"
#include "simcam/memory_builder.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture_file.h"
#include "testing/djpeg_oracle.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::ReadBytes;
using testing::RunKsvcam;
using testing::TempFolder;
using testing::WriteBytes;

class DownloadCommand : public ::testing::Test {
 protected:
  DownloadCommand() {
    ::setenv("KSV_ROOT", (folder_ / "root").c_str(), 1);
    // Clips are converted through the build's plug-ins.
    ::setenv("KSV_MODULE_DIR", KSV_TEST_MODULE_DIR, 1);
    ::unsetenv("KSV_CAMERA_MEMORY");
    using namespace simcam;
    using namespace outside::bulk;
    CameraMemory memory{{"fw 9", "sensor 8", "chip 7"}, SimulatedCameraModes(), {}};
    auto mode = [&](uint8_t index) -> const RecordingMode& { return *memory.FindMode(index); };
    const picture::RgbPicture photo =
        picture::ReadPicture((testing::TestDataDir() / "photos" / "coffee.png").string());
    memory.items.push_back(MakePictureItem(photo, mode(kHighQualityPictureMode), kHighQualitySubtype));
    memory.items.push_back(MakePictureItem(photo, mode(kLowQualityPictureMode), kLowQualitySubtype));
    const std::vector<picture::RgbPicture> frames(5, photo);
    memory.items.push_back(MakeBurstItem(frames, mode(kClipMode)));
    memory.items.push_back(MakeClipItem(std::span(frames).first(2), mode(kClipMode), kClipSubtype,
                                        ClipSound::kAdpcm8000, MonoAudio{8000, {}}));
    memory.items.push_back(MakeRecordingItem(std::vector<uint8_t>{'R', 'I', 'F', 'F'}, 0));
    WriteBytes(image_, WriteMemoryImage(memory));
  }

  // `ksvcam download` of `memory` (the simulated camera's own when empty).
  CommandRun DownloadInto(const fs::path& out, const std::string& memory,
                          std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"download", "--out", out.string()};
    if (!memory.empty()) args.insert(args.end(), {"--memory", memory});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  CommandRun Download(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"download", "--memory", image_.string(), "--out", out_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunKsvcam(args);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder folder_;
  const fs::path image_ = folder_ / "camera.mem";
  const fs::path out_ = folder_ / "out";
};

TEST_F(DownloadCommand, StreamsEveryPictureBurstAndClipWithALinePerFile) {
  const CommandRun run = Download({"--first-frames"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Burst0.JPG", "Burst1.JPG", "Burst2.JPG",
                                               "Burst3.JPG", "Burst4.JPG", "Clip0.AVI", "Clip0.png",
                                               "HQ0.JPG", "WQ0.JPG"}));
  EXPECT_NE(run.out.find("HQ0.JPG: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Clip0.AVI: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("download: 9 files"), std::string::npos) << run.out;
  // No bar into a pipe; the raw recording the stream does not convert is named.
  EXPECT_EQ(run.err, "ksvcam: skipped item 5, a raw recording, is not part of the streamed "
                     "download; --per-item converts it\n");
  EXPECT_NE(run.out.find("; 1 item skipped (--per-item converts them)"), std::string::npos)
      << run.out;
  // In KSV mode the library keeps no first frame: refused before anything is fetched.
  const CommandRun ksv = Download({"--ksv", "--first-frames", "-y"});
  EXPECT_EQ(ksv.status, 2);
  EXPECT_NE(ksv.err.find("--first-frames cannot go with --ksv"), std::string::npos) << ksv.err;
  EXPECT_EQ(ksv.err.find('\n'), ksv.err.size() - 1) << "one line: " << ksv.err;
  const std::vector<uint8_t> picture = ReadBytes(out_ / "HQ0.JPG");
  ASSERT_GT(picture.size(), 623u);
  EXPECT_EQ(picture[0], 0xFF);
  EXPECT_EQ(picture[1], 0xD8);
  EXPECT_EQ(picture[picture.size() - 2], 0xFF);
  EXPECT_EQ(picture.back(), 0xD9);
}

TEST_F(DownloadCommand, TheStreamNamesAClipWithoutSoundItPassesOver) {
  using namespace simcam;
  using namespace outside::bulk;
  CameraMemory memory{{"fw 9", "sensor 8", "chip 7"}, SimulatedCameraModes(), {}};
  const picture::RgbPicture photo =
      picture::ReadPicture((testing::TestDataDir() / "photos" / "chelsea.png").string());
  const std::vector<picture::RgbPicture> frames(2, photo);
  memory.items.push_back(MakeClipItem(frames, *memory.FindMode(kVideoOnlyClipMode),
                                      kLowResClipSubtype, ClipSound::kNone, {}));
  memory.items.push_back(MakePictureItem(photo, *memory.FindMode(kHighQualityPictureMode),
                                         kHighQualitySubtype));
  WriteBytes(image_, WriteMemoryImage(memory));
  const CommandRun run = Download();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Names(), std::vector<std::string>{"HQ0.JPG"});
  EXPECT_EQ(run.err, "ksvcam: skipped item 1, a clip without sound (2 frames), is not part of "
                     "the streamed download; --per-item converts it\n");
  EXPECT_NE(run.out.find("download: 1 file, "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("; 1 item skipped"), std::string::npos) << run.out;
}

TEST_F(DownloadCommand, PerItemWithBitmapsAndRecordings) {
  const CommandRun run = Download({"--per-item", "--bmp"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Names(), (std::vector<std::string>{"Burst0.BMP", "Burst1.BMP", "Burst2.BMP",
                                               "Burst3.BMP", "Burst4.BMP", "Clip0.AVI", "HQ0.BMP",
                                               "Raw0.WAV", "WQ0.BMP"}));
  const auto bitmap = testing::DecodeBmpFile(ReadBytes(out_ / "WQ0.BMP"));
  EXPECT_EQ(bitmap.width, 320u);  // resampled in the per-item download
  EXPECT_EQ(bitmap.height, 240u);
  EXPECT_EQ(ReadBytes(out_ / "Raw0.WAV"), (std::vector<uint8_t>{'R', 'I', 'F', 'F'}));
}

TEST_F(DownloadCommand, KeepsAnEarlierDownloadUnlessAskedToOverwrite) {
  ASSERT_EQ(Download().status, 0);
  WriteBytes(out_ / "HQ0.JPG", {'k', 'e', 'e', 'p'});
  const CommandRun refused = Download();
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("-y"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(out_ / "HQ0.JPG"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  const CommandRun replaced = Download({"-y"});
  EXPECT_EQ(replaced.status, 0) << replaced.err;
  EXPECT_GT(ReadBytes(out_ / "HQ0.JPG").size(), 623u);
}

TEST_F(DownloadCommand, AFileThatCannotBeWrittenFailsTheRunButNotTheOthers) {
  fs::create_directories(out_ / "HQ0.JPG");  // in the way of the picture
  const CommandRun run = Download({"-y"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("HQ0.JPG: the file could not be written"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(out_ / "WQ0.JPG"));
  EXPECT_NE(run.out.find("1 failed"), std::string::npos) << run.out;
}

// A folder that cannot be written is one line, not one a file. Root writes
// through permissions, so it gets a read-only mount of the folder instead
// (in a child with a mount namespace of its own).
TEST_F(DownloadCommand, AFolderThatCannotBeWrittenIsOneLine) {
  fs::create_directories(out_);
  fs::permissions(out_, fs::perms::owner_read | fs::perms::owner_exec);
  constexpr int kNoNamespace = 77;
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount(out_.c_str(), out_.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
         mount(nullptr, out_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)) {
      _exit(kNoNamespace);
    }
    const CommandRun run = Download();
    const bool oneLine = run.status == 1 && run.err.find('\n') == run.err.size() - 1 &&
                         run.err.find("cannot write into '" + out_.string() + "'") != std::string::npos;
    if (!oneLine) std::fprintf(stderr, "status %d, stderr:\n%s", run.status, run.err.c_str());
    _exit(oneLine ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  fs::permissions(out_, fs::perms::owner_all);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) GTEST_SKIP() << "no mount namespace";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(DownloadCommand, ClearErrorsWithoutACamera) {
  const CommandRun missing =
      RunKsvcam({"download", "--memory", (folder_ / "none.mem").string(), "--out", out_.string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.mem"), std::string::npos) << missing.err;
  WriteBytes(folder_ / "bad.mem", {'K', 'S', 'V'});
  const CommandRun bad =
      RunKsvcam({"download", "--memory", (folder_ / "bad.mem").string(), "--out", out_.string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("cannot open the camera"), std::string::npos) << bad.err;
  EXPECT_EQ(RunKsvcam({"download"}).status, 2);  // --out is required
}

TEST_F(DownloadCommand, InfoShowsCountsAndVersionsAndInstallsTheDriverFiles) {
  const CommandRun run = RunKsvcam({"info", "--memory", image_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("firmware: fw 9\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("high-quality pictures: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("clips: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("burst pictures: 5\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("video driver (OKSV1VID.SYS): " KSVCAM_TEST_VERSION "\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("bulk driver (OKSV1BLK.SYS): " KSVCAM_TEST_VERSION "\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder_ / "root" / "system32" / "drivers" / "OKSV1VID.SYS"));
  EXPECT_NE(run.err.find("installed"), std::string::npos);
  // Installed once: the second run finds them.
  EXPECT_EQ(RunKsvcam({"info", "--memory", image_.string()}).err, "");
}

// Every picture of both downloads, of the camera's own memory and of one
// made from photographs, is a JPEG file libjpeg reads without a warning
// (the camera's padding once stood between the scan and its end marker).
TEST_F(DownloadCommand, EveryDownloadedPictureDecodesWithoutAWarning) {
  int runs = 0;
  for (const std::string& memory : {image_.string(), std::string()}) {
    for (const bool perItem : {false, true}) {
      const fs::path out = folder_ / ("pictures" + std::to_string(runs++));
      std::vector<std::string> extra;
      if (perItem) extra.push_back("--per-item");
      const CommandRun run = DownloadInto(out, memory, extra);
      ASSERT_EQ(run.status, 0) << run.err;
      int pictures = 0;
      for (const auto& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".JPG") continue;
        ++pictures;
        const ksv::testing::DjpegRun decoded = ksv::testing::RunDjpeg(entry.path());
        EXPECT_EQ(decoded.status, 0) << entry.path() << ": " << decoded.messages;
        EXPECT_EQ(decoded.messages, "") << entry.path();
      }
      EXPECT_GE(pictures, 7) << out;  // HQ, WQ and five burst pictures at least
    }
  }
}

// Probing the folders on the way to the clip work folder never touches a
// person's own file of the probe's name.
TEST_F(DownloadCommand, AFileNamedLikeTheFolderProbeSurvivesADownload) {
  const fs::path mine = folder_ / "12345678.tmp";  // the folder above $KSV_ROOT
  WriteBytes(mine, {'m', 'i', 'n', 'e'});
  const CommandRun run = Download({"--per-item"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(mine), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
}

// Another process opening the camera (`ksvcam info`, over and over) while a
// per-item download converts its clip leaves the clip as it is when the
// download runs alone: each process's work files are its own.
TEST_F(DownloadCommand, AnotherProcessOpeningTheCameraLeavesAClipAlone) {
  const fs::path alone = folder_ / "alone", beside = folder_ / "beside";
  ASSERT_EQ(DownloadInto(alone, "", {"--per-item"}).status, 0);
  const fs::path count = folder_ / "info-runs";
  const pid_t loop = ::fork();
  if (loop == 0) {
    ::setpgid(0, 0);
    const std::string script = std::string("while :; do '") + KSVCAM_BINARY +
                               "' info >/dev/null 2>&1; echo >> '" + count.string() + "'; done";
    ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(loop, 0);
  // Let the loop get going (one run done) before the download starts. A
  // sanitized ksvcam on a busy machine took over 10 s for its first run.
  for (int i = 0; i < 3000 && !fs::exists(count); ++i) ::usleep(20000);
  const bool looping = fs::exists(count);
  const CommandRun run = DownloadInto(beside, "", {"--per-item"});
  ::kill(-loop, SIGKILL);
  ::kill(loop, SIGKILL);
  ::waitpid(loop, nullptr, 0);
  ASSERT_TRUE(looping) << "the info loop never ran";
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(beside / "Clip0.AVI"), ReadBytes(alone / "Clip0.AVI"));
}

}  // namespace
}  // namespace ksv::ksvcam
