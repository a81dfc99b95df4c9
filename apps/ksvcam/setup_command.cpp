// `ksvcam setup [--unregister]`: installs what an installer would on a
// machine with the camera: the simulated camera and microphone in the
// machine's device list, the camera driver as the driver of its USB
// cameras, the drivers' files, the settings pages' texts and the media framework (its modules' classes
// and filters, the standard filter categories); --unregister takes the
// devices off the list and the camera driver and the media framework out of
// the registry again.
#include <CLI/CLI.hpp>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/machine_microphone.h"
#include "apps/ksvcam/media_setup.h"
#include "apps/ksvcam/settings_files.h"
#include "apps/ksvcam/scanner_setup.h"
#include "apps/ksvcam/still_image_setup.h"
#include "common/driver_files.h"
#include "platform/root/system_root.h"
#include "platform/vfw/video_source.h"

namespace ksv::ksvcam {

CommandRun SetupCommand(CLI::App& app) {
  auto unregister = std::make_shared<bool>(false);
  CLI::App& command = *app.add_subcommand(
      "setup",
      "Installs the simulated camera and microphone, the camera driver, the drivers' files "
      "and the media framework's filters");
  command.add_flag("--unregister", *unregister,
                   "Takes the simulated devices off the list and unregisters the camera driver and the "
                   "media framework");
  return [unregister](Console& console) {
    const auto print = [&console](const std::string& line) { console.out << line << "\n"; };
    if (*unregister) {
      UnregisterMediaFramework(print);
      UninstallStillImageSoftware(print);
      console.out << (UnlistSimulatedCamera() ? "unlisted " : "not listed: ")
                  << kSimulatedCameraName << "\n";
      console.out << (UnlistSimulatedMicrophone() ? "unlisted " : "not listed: ")
                  << kSimulatedMicrophoneName << "\n";
      console.out << (platform::vfw::UnregisterExtension() ? "unregistered the settings extension\n"
                                                           : "not registered: the settings extension\n");
      console.out << (UnregisterMachineCameraDriver() ? "unregistered the camera driver "
                                                      : "not registered: the camera driver ")
                  << kCameraDriverName << "\n";
      return kExitOk;
    }
    ListSimulatedCamera();
    console.out << "listed " << kSimulatedCameraName << ": " << SimulatedCameraModule().string()
                << "\n";
    ListSimulatedMicrophone();
    console.out << "listed " << kSimulatedMicrophoneName << ": "
                << SimulatedMicrophoneModule().string() << "\n";
    RegisterMachineCameraDriver();
    console.out << "registered the camera driver " << kCameraDriverName << ": "
                << CameraDriverModule().string() << "\n";
    const auto files = common::InstallDriverFiles(platform::SystemRoot(), KSVCAM_VERSION);
    for (const auto& file : files) console.out << "installed " << file.string() << "\n";
    for (const auto& file : InstallSettingsFiles(platform::SystemRoot())) {
      console.out << "installed " << file.string() << "\n";
    }
    RegisterSettingsExtension();
    console.out << "registered the settings extension: " << SettingsExtensionModule().string() << "\n";
    InstallStillImageSoftware(print);
    InstallScannerInterface(print);
    const MediaRegistration media = RegisterMediaFramework(print);
    console.out << "set up the simulated camera and microphone, " << files.size()
                << " driver files, " << media.modules << " media modules and " << media.categories
                << " filter categories\n";
    return kExitOk;
  };
}

}  // namespace ksv::ksvcam
