// Symbolic links and device interfaces a driver creates so that user-mode
// software finds its device. They are recorded here and can be listed, as a
// person would list them on the system.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/guid.h"
#include "platform/kernel/kernel_types.h"

namespace ksv::platform::kernel {

// STATUS_OBJECT_NAME_COLLISION when the link exists.
NTSTATUS IoCreateSymbolicLink(const char* linkName, const char* deviceName);
// STATUS_OBJECT_NAME_NOT_FOUND when there is no such link.
NTSTATUS IoDeleteSymbolicLink(const char* linkName);

// Registers an interface of `interfaceClass` on the physical device and
// hands back its name in pool memory (tag "KsvI") that the caller frees with
// ExFreePool. Registering the same device and class again gives the same name.
NTSTATUS IoRegisterDeviceInterface(const DEVICE_OBJECT* physicalDevice,
                                   const GUID& interfaceClass, char** symbolicLinkName);
NTSTATUS IoSetDeviceInterfaceState(const char* symbolicLinkName, bool enable);

struct SymbolicLink {
  std::string link;
  std::string target;
};
struct DeviceInterface {
  std::string name;
  GUID interfaceClass;
  bool enabled = false;
};
std::vector<SymbolicLink> SymbolicLinks();
std::vector<DeviceInterface> DeviceInterfaces();

}  // namespace ksv::platform::kernel
