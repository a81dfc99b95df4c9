// Parsing and usage errors: these fail before any file is read.
#include "apps/ksvcam/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "apps/ksvcam/tests/test_support.h"

namespace ksv::ksvcam {
namespace {

using testing::CommandRun;
using testing::RunKsvcam;

// One line on stderr, in the tool's form, mentioning `needle`.
void ExpectOneErrorLine(const CommandRun& run, const std::string& needle) {
  EXPECT_EQ(run.err.rfind("ksvcam: error: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(needle), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

void ExpectUsageError(std::vector<std::string> args, const std::string& needle) {
  const CommandRun run = RunKsvcam(std::move(args));
  EXPECT_EQ(run.status, 2);
  ExpectOneErrorLine(run, needle);
}

TEST(CommandLine, PrintsTheVersion) {
  const CommandRun run = RunKsvcam({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "ksvcam 0.1.0\n");
  EXPECT_EQ(run.err, "");
}

TEST(CommandLine, EverySubcommandHasHelp) {
  const CommandRun decode = RunKsvcam({"decode", "--help"});
  EXPECT_EQ(decode.status, 0);
  for (const char* option :
       {"--size", "--output", "--format", "--stored", "--qtable", "--gamma", "--repeat"}) {
    EXPECT_NE(decode.out.find(option), std::string::npos) << option;
  }
  const CommandRun demo = RunKsvcam({"demo", "--help"});
  EXPECT_EQ(demo.status, 0);
  EXPECT_NE(demo.out.find("--overwrite"), std::string::npos);
  EXPECT_NE(demo.out.find("--photos"), std::string::npos);
  const CommandRun top = RunKsvcam({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("decode"), std::string::npos);
  EXPECT_NE(top.out.find("demo"), std::string::npos);
}

// What the tool is, each option's default and what it needs, in words; the
// AVI subcommands under the name people try first.
TEST(CommandLine, HelpSaysWhatTheToolIsAndShowsDefaults) {
  const CommandRun top = RunKsvcam({"--help"});
  for (const char* part : {"live video", "stored", "media files", "graph tool"}) {
    EXPECT_NE(top.out.find(part), std::string::npos) << part << " in\n" << top.out;
  }
  const CommandRun images = RunKsvcam({"avi", "images", "--help"});
  EXPECT_NE(images.out.find("(default: 25)"), std::string::npos) << images.out;
  const CommandRun capture = RunKsvcam({"capture", "--help"});
  EXPECT_NE(capture.out.find("(default: button); needs --snapshot-at"), std::string::npos)
      << capture.out;
  EXPECT_EQ(capture.out.find("Needs:"), std::string::npos) << capture.out;
  const CommandRun info = RunKsvcam({"avi", "info", "--help"});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("Describe an AVI file"), std::string::npos) << info.out;
  const CommandRun fix = RunKsvcam({"avi", "fix", "no-such.avi"});
  EXPECT_EQ(fix.status, 1) << "avi fix runs avi-fix";
  EXPECT_NE(fix.err.find("no-such.avi"), std::string::npos) << fix.err;
}

TEST(CommandLine, ValuesThatCannotWorkAreUsageErrorsInWords) {
  ExpectUsageError({"record", "-o", "x.avi", "--seconds", "0"}, "--seconds: must be above 0");
  ExpectUsageError({"play", "x.avi", "--rate", "0"}, "--rate: must be above 0");
  ExpectUsageError({"record", "-o", "x.mp4", "--seconds", "1"}, "give it a .avi name");
  ExpectUsageError({"resample", "in.wav", "-o", "x.flac"}, "give it a .wav name");
  ExpectUsageError({"avi", "split", "in.avi", "--wav", "x.mp3"}, "give it a .wav name");
}

// A file that is not what a subcommand reads is named, with what it should
// be, before any graph is built.
TEST(CommandLine, FilesOfTheWrongKindAreNamedInWords) {
  testing::TempFolder folder;
  const std::string notes = (folder / "notes.txt").string();
  testing::WriteBytes(notes, {'h', 'i', '\n'});
  const std::string out = (folder / "out.wav").string();
  CommandRun run = RunKsvcam({"wav", "compress", notes, "-o", out, "--compressor", "x"});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "'" + notes + "' is not a WAV, AVI or MPEG-1 file");
  run = RunKsvcam({"avi", "merge", notes, notes, "-o", (folder / "out.avi").string()});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "'" + notes + "' is not an AVI or MPEG-1 file");
  run = RunKsvcam({"wav", "compress", notes + ".missing", "-o", out, "--compressor", "x"});
  ExpectOneErrorLine(run, "no file '" + notes + ".missing'");
}

TEST(CommandLine, RefusesMissingOrUnknownSubcommand) {
  ExpectUsageError({}, "subcommand");
  ExpectUsageError({"encode"}, "encode");
}

TEST(CommandLine, RefusesBadDecodeOptions) {
  const std::string frame = "does-not-exist.frame";  // usage is checked before reading
  ExpectUsageError({"decode", frame, "--size", "320x", "-o", "a.bmp"}, "'320x'");
  ExpectUsageError({"decode", frame, "-s", "320x240", "-f", "yuyv", "-o", "a.bmp"}, "'yuyv'");
  ExpectUsageError({"decode", frame, "-s", "320x240", "--stored", "-o", "a.bmp"}, "--qtable");
  ExpectUsageError({"decode", frame, "-s", "320x240", "-f", "bgr24", "-o", "a.i420"}, "a.i420");
  ExpectUsageError({"decode", frame, "-s", "320x240", "-o", "a.gif"}, "a.gif");
  ExpectUsageError({"decode", frame, "-s", "320x240", "-g", "10", "-o", "a.bmp"}, "--gamma");
  ExpectUsageError(
      {"decode", frame, "-s", "320x240", "--stored", "-q", "q", "-g", "1", "-o", "a.bmp"},
      "--gamma");
  ExpectUsageError({"decode", frame, "-s", "300x200", "-o", "a.bmp"}, "320x240");
  ExpectUsageError({"decode", frame, "-s", "320x240", "--repeat", "0", "-o", "a.bmp"}, "--repeat");
  ExpectUsageError({"decode", frame, "-s", "320x240", "--repeat", "many", "-o", "a.bmp"}, "many");
  ExpectUsageError({"decode", frame, "-s", "320x240"}, "--output");
  ExpectUsageError({"decode", "-s", "320x240", "-o", "a.bmp"}, "FRAME");
  ExpectUsageError({"decode", frame, "-s", "320x240", "-o", "a.bmp", "--speed"}, "--speed");
}

TEST(CommandLine, MissingFrameFileIsAFailureNotAUsageError) {
  testing::TempFolder folder;
  const CommandRun run = RunKsvcam({"decode", (folder / "does-not-exist.frame").string(), "-s",
                                    "320x240", "-o", (folder / "a.bmp").string()});
  EXPECT_EQ(run.status, 1);
  ExpectOneErrorLine(run, "does-not-exist.frame");
}

}  // namespace
}  // namespace ksv::ksvcam
