#include "apps/ksvcam/setup_command.h"

#include <CLI/CLI.hpp>

#include "apps/ksvcam/driver_files.h"
#include "apps/ksvcam/machine_camera.h"
#include "platform/root/system_root.h"

namespace ksv::ksvcam {

CLI::App& AddSetupCommand(CLI::App& app, SetupOptions& options) {
  CLI::App& command = *app.add_subcommand(
      "setup", "Installs the simulated camera in the machine's device list and the drivers' files");
  command.add_flag("--unregister", options.unregister, "Takes the simulated camera off the list");
  return command;
}

int RunSetup(const SetupOptions& options, Console& console) {
  if (options.unregister) {
    console.out << (UnlistSimulatedCamera() ? "unlisted " : "not listed: ") << kSimulatedCameraName
                << "\n";
    return kExitOk;
  }
  ListSimulatedCamera();
  console.out << "listed " << kSimulatedCameraName << ": " << SimulatedCameraModule().string()
              << "\n";
  for (const auto& file : InstallDriverFiles(platform::SystemRoot())) {
    console.out << "installed " << file.string() << "\n";
  }
  return kExitOk;
}

}  // namespace ksv::ksvcam
