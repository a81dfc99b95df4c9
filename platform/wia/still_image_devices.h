// The still-image devices of the machine, as an installer registers them:
// one key per device under the still-image class key, whose "USDClass"
// names the class identifier of the device's driver (an in-process server,
// platform/com) and "FriendlyName" what applications call the device.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/guid.h"

namespace ksv::platform::wia {

// Below HKEY_LOCAL_MACHINE: the class key of still-image devices.
inline constexpr const char* kStillImageClassKey =
    "System\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";

struct StillImageDevice {
  std::string instance;  // the device's key name ("0000")
  std::string friendlyName;
  GUID driverClass{};
};

// Writes (or rewrites) the device's key. Throws RegistryError when the
// registry cannot be written.
void RegisterStillImageDevice(const StillImageDevice& device);
// False when there was no such key.
bool UnregisterStillImageDevice(const std::string& instance);
// The registered devices in key order; a key without a readable driver
// class is left out.
std::vector<StillImageDevice> StillImageDevices();

}  // namespace ksv::platform::wia
