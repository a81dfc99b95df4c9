#include "apps/ksvcam/tests/test_support.h"

#include <gtest/gtest.h>

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

picture::RgbPicture DecodePngFile(const std::vector<uint8_t>& file) {
  return picture::DecodePng(file, "PNG file");
}

picture::RgbPicture DecodeBmpFile(const std::vector<uint8_t>& file) {
  return picture::DecodeBmp(file, "BMP file");
}

fs::path TestDataDir() { return support::TestDataDir(); }

}  // namespace ksv::ksvcam::testing
