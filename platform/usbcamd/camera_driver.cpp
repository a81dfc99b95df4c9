// The camera driver's registration in the machine hive and its loading.
#include <dlfcn.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/kernel/status_text.h"
#include "platform/registry/machine_hive.h"
#include "platform/usbcamd/camera_driver_loader.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::platform::usbcamd {
namespace {

constexpr const char* kImagePath = "ImagePath";
constexpr const char* kFriendlyName = "FriendlyName";

// A module whose entry point ran: the class driver it was given (kept even
// when the entry point failed, since the module may hold on to its driver
// object) and, when it cannot be used, why.
struct LoadedDriver {
  std::unique_ptr<ClassDriver> classDriver;
  std::string problem;

  ClassDriver* Usable() const { return problem.empty() ? classDriver.get() : nullptr; }
};

struct LoadedDrivers {
  std::mutex lock;
  std::map<std::string, LoadedDriver> byModule;  // by the module's path
};

LoadedDrivers& Loaded() {
  // Never destroyed: the modules stay loaded, and their class drivers with
  // them, past every static destructor.
  static auto* drivers = new LoadedDrivers;
  return *drivers;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

}  // namespace

void RegisterCameraDriver(const CameraDriver& driver) {
  auto hive = SharedMachineHive();
  hive->SetString(kCameraDriverKey, kImagePath, driver.module.string());
  hive->SetString(kCameraDriverKey, kFriendlyName, driver.friendlyName);
}

bool UnregisterCameraDriver() { return SharedMachineHive()->DeleteTree(kCameraDriverKey); }

std::optional<CameraDriver> RegisteredCameraDriver() {
  auto hive = SharedMachineHive();
  std::optional<std::string> module = hive->GetString(kCameraDriverKey, kImagePath);
  if (!module || module->empty()) return std::nullopt;
  return CameraDriver{*module, hive->GetString(kCameraDriverKey, kFriendlyName).value_or("")};
}

ClassDriver* LoadRegisteredCameraDriver(std::string* error) {
  std::optional<CameraDriver> driver;
  try {
    driver = RegisteredCameraDriver();
  } catch (const RegistryError& failure) {
    SetError(error, std::string("the camera driver's registration cannot be read: ") +
                        failure.what());
    return nullptr;
  }
  if (!driver) {
    SetError(error, std::string("no camera driver is registered (HKEY_LOCAL_MACHINE\\") +
                        kCameraDriverKey + ")");
    return nullptr;
  }
  const std::string path = driver->module.lexically_normal().string();
  LoadedDrivers& drivers = Loaded();
  std::lock_guard guard(drivers.lock);
  if (auto found = drivers.byModule.find(path); found != drivers.byModule.end()) {
    if (found->second.Usable() == nullptr) SetError(error, found->second.problem);
    return found->second.Usable();
  }
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    SetError(error, "the camera driver '" + path + "' does not load: " +
                        (why != nullptr ? why : "unknown reason"));
    return nullptr;
  }
  auto entry = reinterpret_cast<DriverEntryFunction>(::dlsym(module, kDriverEntryName));
  if (entry == nullptr) {
    ::dlclose(module);
    SetError(error, "the camera driver '" + path + "' has no " + kDriverEntryName);
    return nullptr;
  }
  // From here on the module stays loaded: its entry point may have left
  // routines with the class driver even when it failed.
  LoadedDriver& loaded = drivers.byModule[path];
  loaded.classDriver = std::make_unique<ClassDriver>();
  const NTSTATUS status = entry(loaded.classDriver->DriverObject(), nullptr);
  if (!kernel::NT_SUCCESS(status)) {
    loaded.problem = "the camera driver '" + path + "' failed to load with " +
                     kernel::StatusText(status);
  } else if (!loaded.classDriver->IsRegistered()) {
    loaded.problem = "the camera driver '" + path + "' did not register with the class driver";
  }
  if (loaded.Usable() == nullptr) SetError(error, loaded.problem);
  return loaded.Usable();
}

}  // namespace ksv::platform::usbcamd
