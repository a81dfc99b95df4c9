// The machine's devices: the hardware modules listed in the registry store
// (an installer or `ksvcam setup` lists them) and the devices a program
// plugs in itself (tests, tools). Enumerating loads each listed module once
// per process and keeps its device for the life of the process, as a device
// stays plugged in until it is pulled out.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hardware/hardware_device.h"

namespace ksv::platform::hardware {

// The registry key of the device list: one REG_SZ value a device, its name
// and its module's path.
inline constexpr const char* kDeviceListKey = "Hardware\\Devices";

struct ListedModule {
  std::string name;
  std::filesystem::path path;
};

// Lists a module under `name`, replacing an earlier entry of that name.
// Throws RegistryError when the store cannot be written.
void ListModule(std::string_view name, const std::filesystem::path& path);
// Removes a module from the list; false when it was not listed.
bool UnlistModule(std::string_view name);
std::vector<ListedModule> ListedModules();

// A listed module that could not be loaded, and why.
struct LoadProblem {
  ListedModule module;
  std::string reason;
};

struct Enumeration {
  std::vector<HardwareDevice*> devices;  // plugged-in devices first, then listed ones
  std::vector<LoadProblem> problems;
};

// Every device on the machine now, loading listed modules not yet loaded.
// A module that cannot be loaded, or a list that cannot be read, is
// reported, not fatal: the other devices still count. Safe to call from any
// thread.
Enumeration EnumerateDevices();

// Plugs a device in directly / pulls it out. The device must outlive its
// time plugged in.
void PlugDevice(HardwareDevice* device);
void UnplugDevice(HardwareDevice* device);

// The first device's function of `interfaceName`, or null. `problems`, when
// given, receives the modules that could not be loaded.
void* FindFunction(std::string_view interfaceName, std::vector<LoadProblem>* problems = nullptr);

// One line naming why no device offered a function: the load problems, or
// that the list is empty.
std::string DescribeMissing(std::string_view what, const std::vector<LoadProblem>& problems);

}  // namespace ksv::platform::hardware
