// `ksvcam setup [--unregister]`: installs what an installer would on a
// machine with the camera: the simulated camera in the machine's device list
// and the drivers' files; --unregister takes the camera off the list again.
#include <CLI/CLI.hpp>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "common/driver_files.h"
#include "apps/ksvcam/machine_camera.h"
#include "platform/root/system_root.h"

namespace ksv::ksvcam {

CommandRun SetupCommand(CLI::App& app) {
  auto unregister = std::make_shared<bool>(false);
  CLI::App& command = *app.add_subcommand(
      "setup", "Installs the simulated camera in the machine's device list and the drivers' files");
  command.add_flag("--unregister", *unregister, "Takes the simulated camera off the list");
  return [unregister](Console& console) {
    if (*unregister) {
      console.out << (UnlistSimulatedCamera() ? "unlisted " : "not listed: ")
                  << kSimulatedCameraName << "\n";
      return kExitOk;
    }
    ListSimulatedCamera();
    console.out << "listed " << kSimulatedCameraName << ": " << SimulatedCameraModule().string()
                << "\n";
    for (const auto& file : common::InstallDriverFiles(platform::SystemRoot(), KSVCAM_VERSION)) {
      console.out << "installed " << file.string() << "\n";
    }
    return kExitOk;
  };
}

}  // namespace ksv::ksvcam
