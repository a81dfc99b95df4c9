// `ksvcam demo`: photographs the test pictures with the simulated camera at
// every compression level, decodes the frames and writes them with the
// pictures into a folder, reporting size and quality of each.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct DemoOptions {
  std::string photosDir;  // empty: the default test photographs
  std::string outDir = "ksvcam-demo";
  bool overwrite = false;
};

// Adds the `demo` subcommand to `app`; parsing fills `options`.
CLI::App& AddDemoCommand(CLI::App& app, DemoOptions& options);

// The folder of test photographs used when --photos is not given: "photos"
// in the test data folder (support/test_data.h). Throws CommandFailure
// without one.
std::string DefaultPhotosDir();

// Runs the demo. Returns the exit status (1 when any picture failed); throws
// UsageError or CommandFailure when it cannot start.
int RunDemo(const DemoOptions& options, Console& console);

}  // namespace ksv::ksvcam
