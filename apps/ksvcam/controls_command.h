// `ksvcam controls list|get|set`: the camera's picture controls through the
// camera driver, loaded into the USB camera class driver with the simulated
// camera plugged in. The driver keeps each change in the registry, so a
// setting holds for every later run (and `ksvcam capture`).
#pragma once

#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct ControlsOptions {
  std::string name;
  std::string value;
  bool automatic = false;
  bool manual = false;
};

CLI::App& AddControlsCommand(CLI::App& app, ControlsOptions& options);

// Runs the chosen action of `command` (the controls subcommand as parsed).
int RunControls(const CLI::App& command, const ControlsOptions& options, Console& console);

}  // namespace ksv::ksvcam
