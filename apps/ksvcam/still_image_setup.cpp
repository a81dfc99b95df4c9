#include "apps/ksvcam/still_image_setup.h"

#include <system_error>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/media_setup.h"
#include "driver/values/value_control.h"
#include "platform/devices/devices.h"
#include "platform/root/system_root.h"
#include "wiadl/texts.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;
namespace values = driver::values;

void InstallStillImageSoftware(const std::function<void(const std::string&)>& print) {
  const fs::path texts = platform::SystemRoot() / "system32" / wiadl::kLocalizationFileName;
  try {
    print((wiadl::InstallEnglishTexts(texts) ? "installed " : "kept ") + texts.string());
  } catch (const std::exception& error) {
    throw CommandFailure(error.what());
  }
  const fs::path folder = ModuleFolder();
  const fs::path module = folder.empty() ? fs::path() : folder / values::kValueDriverModule;
  std::error_code error;
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure("the camera's value driver module '" + module.string() + "' is missing");
  }
  platform::devices::RegisterDeviceInterface(values::kValueInterfaceClass, values::kValueInterfaceName, module);
  print("registered the value driver's device interface " +
        platform::devices::InterfacePath(values::kValueInterfaceClass, values::kValueInterfaceName) + ": " +
        module.string());
}

void UninstallStillImageSoftware(const std::function<void(const std::string&)>& print) {
  const bool removed =
      platform::devices::UnregisterDeviceInterface(values::kValueInterfaceClass, values::kValueInterfaceName);
  print(removed ? "unregistered the value driver's device interface"
                : "not registered: the value driver's device interface");
}

}  // namespace ksv::ksvcam
