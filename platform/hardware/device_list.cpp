#include "platform/hardware/device_list.h"

#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/registry/machine_hive.h"

namespace ksv::platform::hardware {
namespace {

// A loaded module: the device it made, or why it made none. A module is
// never unloaded, so its device stays valid for every caller.
struct LoadedModule {
  HardwareDevice* device = nullptr;
  std::string problem;
};

struct Machine {
  std::mutex lock;
  std::vector<HardwareDevice*> plugged;
  std::map<std::string, LoadedModule> loaded;  // by the module's path
};

Machine& TheMachine() {
  static Machine* machine = new Machine;  // devices outlive every static destructor
  return *machine;
}

LoadedModule Load(const std::filesystem::path& path) {
  LoadedModule result;
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = ::dlerror();
    result.problem = why ? why : "cannot be loaded";
    return result;
  }
  auto create = reinterpret_cast<CreateDeviceFunction>(::dlsym(module, kCreateDeviceEntry));
  if (create == nullptr) {
    result.problem = std::string("has no ") + kCreateDeviceEntry;
    return result;
  }
  try {
    result.device = create();
  } catch (const std::exception& error) {
    result.problem = std::string("failed to start: ") + error.what();
  }
  if (result.device == nullptr && result.problem.empty()) result.problem = "made no device";
  return result;
}

}  // namespace

void ListModule(std::string_view name, const std::filesystem::path& path) {
  SharedMachineHive()->SetString(kDeviceListKey, name, path.string());
}

bool UnlistModule(std::string_view name) {
  return SharedMachineHive()->DeleteValue(kDeviceListKey, name);
}

std::vector<ListedModule> ListedModules() {
  std::vector<ListedModule> modules;
  for (const auto& value : SharedMachineHive()->ListValues(kDeviceListKey)) {
    if (value.type == RegistryType::kString) modules.push_back({value.name, value.data});
  }
  return modules;
}

Enumeration EnumerateDevices() {
  Enumeration found;
  std::vector<ListedModule> listed;
  try {
    listed = ListedModules();
  } catch (const RegistryError& error) {
    // Devices plugged in directly still count without the list.
    found.problems.push_back({{"the device list", kDeviceListKey}, error.what()});
  }
  Machine& machine = TheMachine();
  std::lock_guard guard(machine.lock);
  found.devices = machine.plugged;
  for (const ListedModule& module : listed) {
    const std::string key = module.path.lexically_normal().string();
    auto at = machine.loaded.find(key);
    if (at == machine.loaded.end() || at->second.device == nullptr) {
      // A module that failed may have been mended since: try it again.
      at = machine.loaded.insert_or_assign(key, Load(module.path)).first;
    }
    if (at->second.device != nullptr) {
      found.devices.push_back(at->second.device);
    } else {
      found.problems.push_back({module, at->second.problem});
    }
  }
  return found;
}

void PlugDevice(HardwareDevice* device) {
  if (device == nullptr) return;
  Machine& machine = TheMachine();
  std::lock_guard guard(machine.lock);
  if (std::find(machine.plugged.begin(), machine.plugged.end(), device) == machine.plugged.end()) {
    machine.plugged.push_back(device);
  }
}

void UnplugDevice(HardwareDevice* device) {
  Machine& machine = TheMachine();
  std::lock_guard guard(machine.lock);
  std::erase(machine.plugged, device);
}

void* FindFunction(std::string_view interfaceName, std::vector<LoadProblem>* problems) {
  Enumeration found = EnumerateDevices();
  if (problems != nullptr) *problems = std::move(found.problems);
  for (HardwareDevice* device : found.devices) {
    if (void* function = device->Function(interfaceName)) return function;
  }
  return nullptr;
}

std::string DescribeMissing(std::string_view what, const std::vector<LoadProblem>& problems) {
  std::string text = "no " + std::string(what) + " is plugged in";
  if (problems.empty()) return text + " (no device is listed: run `ksvcam setup`)";
  for (const LoadProblem& problem : problems) {
    text += "; " + problem.module.name + " (" + problem.module.path.string() +
            "): " + problem.reason;
  }
  return text;
}

}  // namespace ksv::platform::hardware
