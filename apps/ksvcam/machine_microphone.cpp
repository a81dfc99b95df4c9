#include "apps/ksvcam/machine_microphone.h"

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/media_setup.h"
#include "platform/hardware/device_list.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;

fs::path SimulatedMicrophoneModule() {
  const fs::path folder = ModuleFolder();
  return folder.empty() ? fs::path() : folder / "ksvsimmic.so";
}

void ListSimulatedMicrophone() {
  const fs::path module = SimulatedMicrophoneModule();
  std::error_code error;
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure("the simulated microphone's hardware module '" + module.string() +
                         "' is missing");
  }
  platform::hardware::ListModule(kSimulatedMicrophoneName, module);
}

bool UnlistSimulatedMicrophone() {
  return platform::hardware::UnlistModule(kSimulatedMicrophoneName);
}

}  // namespace ksv::ksvcam
