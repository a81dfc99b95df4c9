#include "apps/ksvcam/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "apps/ksvcam/command_line.h"
#include "support/picture/bmp_file.h"
#include "support/picture/png_file.h"
#include "support/test_data.h"

namespace ksv::ksvcam::testing {

namespace fs = std::filesystem;

CommandRun RunKsvcam(std::vector<std::string> args) {
  // Commands that load the driver write the machine registry; unless a test
  // chose a system root, they share one of the test binary's own.
  static const TempFolder systemRoot;
  ::setenv("KSV_ROOT", systemRoot.path().c_str(), 0);
  args.insert(args.begin(), "ksvcam");
  std::ostringstream out;
  std::ostringstream err;
  Console console{out, err, false};
  CommandRun run;
  run.status = RunCommandLine(args, console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

bool HaveFfmpeg() {
  return std::system("ffmpeg -version >/dev/null 2>&1") == 0 &&
         std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

std::string ShellOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  return pclose(pipe) == 0 ? text : std::string();
}

std::string Probe(const fs::path& file, const std::string& select, const std::string& key) {
  std::string value = ShellOutput("ffprobe -v error -count_packets -select_streams " + select +
                                  " -show_entries stream=" + key + " -of csv=p=0 '" +
                                  file.string() + "'");
  while (!value.empty() && (value.back() == '\n' || value.back() == ',')) value.pop_back();
  return value;
}

bool DecodesCleanly(const fs::path& file) {
  return ShellOutput("ffmpeg -v error -i '" + file.string() + "' -f null - 2>&1 && echo ok") ==
         "ok\n";
}

picture::RgbPicture DecodePngFile(const std::vector<uint8_t>& file) {
  return picture::DecodePng(file, "PNG file");
}

picture::RgbPicture DecodeBmpFile(const std::vector<uint8_t>& file) {
  return picture::DecodeBmp(file, "BMP file");
}

fs::path TestDataDir() { return support::TestDataDir(); }

}  // namespace ksv::ksvcam::testing
