// `ksvcam setup [--unregister]`: installs what an installer would on a
// machine with the camera: the simulated camera in the machine's device list
// and the drivers' files; --unregister takes the camera off the list again.
#pragma once

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct SetupOptions {
  bool unregister = false;
};

CLI::App& AddSetupCommand(CLI::App& app, SetupOptions& options);
int RunSetup(const SetupOptions& options, Console& console);

}  // namespace ksv::ksvcam
