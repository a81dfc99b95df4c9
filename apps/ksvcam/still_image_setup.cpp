#include "apps/ksvcam/still_image_setup.h"

#include <system_error>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/media_setup.h"
#include "driver/values/value_control.h"
#include "platform/com/class_registry.h"
#include "platform/devices/devices.h"
#include "platform/registry/win32_registry.h"
#include "platform/root/system_root.h"
#include "platform/wia/still_image_devices.h"
#include "wiadl/texts.h"

namespace ksv::ksvcam {

namespace fs = std::filesystem;
namespace values = driver::values;
namespace wia = platform::wia;

namespace {

// The minidriver's class and module, and the device's key.
constexpr CLSID kMinidriverClass = com::Guid("9219CFC9-88A4-4AAB-A9CA-F3054A515B05");
constexpr const char* kMinidriverModule = "OKSV1WIA.so";
constexpr const char* kDeviceInstance = "0000";

fs::path ModuleBesideUs(const char* file, const char* what) {
  const fs::path folder = ModuleFolder();
  const fs::path module = folder.empty() ? fs::path() : folder / file;
  std::error_code error;
  if (module.empty() || !fs::is_regular_file(module, error)) {
    throw CommandFailure(std::string(what) + " '" + module.string() + "' is missing");
  }
  return module;
}

// The class key COM loads the minidriver by, as an installer writes it.
void RegisterMinidriverClass(const fs::path& module) {
  const std::string server = com::ClassKeyPath(kMinidriverClass) + "\\InprocServer32";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    throw CommandFailure("cannot register the still-image minidriver's class");
  }
  const std::string path = module.string();
  const LONG pathWritten = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                          static_cast<DWORD>(path.size() + 1));
  const LONG modelWritten =
      RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Both"), 5);
  RegCloseKey(key);
  if (pathWritten != ERROR_SUCCESS || modelWritten != ERROR_SUCCESS) {
    throw CommandFailure("cannot register the still-image minidriver's class");
  }
}

}  // namespace

void InstallStillImageSoftware(const std::function<void(const std::string&)>& print) {
  const fs::path texts = platform::SystemRoot() / "system32" / wiadl::kLocalizationFileName;
  try {
    print((wiadl::InstallEnglishTexts(texts) ? "installed " : "kept ") + texts.string());
  } catch (const std::exception& error) {
    throw CommandFailure(error.what());
  }
  const fs::path module = ModuleBesideUs(values::kValueDriverModule, "the camera's value driver module");
  platform::devices::RegisterDeviceInterface(values::kValueInterfaceClass, values::kValueInterfaceName, module);
  print("registered the value driver's device interface " +
        platform::devices::InterfacePath(values::kValueInterfaceClass, values::kValueInterfaceName) + ": " +
        module.string());
  const fs::path minidriver = ModuleBesideUs(kMinidriverModule, "the still-image minidriver's module");
  RegisterMinidriverClass(minidriver);
  wia::RegisterStillImageDevice({kDeviceInstance, kCameraDriverName, kMinidriverClass});
  print("registered the still-image device " + std::string(kCameraDriverName) + ": " + minidriver.string());
}

bool StillImageDeviceRegistered() {
  for (const wia::StillImageDevice& device : wia::StillImageDevices()) {
    if (device.driverClass == kMinidriverClass) return true;
  }
  return false;
}

void UninstallStillImageSoftware(const std::function<void(const std::string&)>& print) {
  const bool removed =
      platform::devices::UnregisterDeviceInterface(values::kValueInterfaceClass, values::kValueInterfaceName);
  print(removed ? "unregistered the value driver's device interface"
                : "not registered: the value driver's device interface");
  const bool deviceRemoved = wia::UnregisterStillImageDevice(kDeviceInstance);
  com::UnregisterInprocServer(kMinidriverClass);
  print(deviceRemoved ? "unregistered the still-image device" : "not registered: the still-image device");
}

}  // namespace ksv::ksvcam
