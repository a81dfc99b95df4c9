#include "platform/kernel/device_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "platform/kernel/pool.h"

namespace ksv::platform::kernel {
namespace {

struct Names {
  std::mutex lock;
  std::vector<SymbolicLink> links;
  std::vector<DeviceInterface> interfaces;
};

Names& TheNames() {
  static Names names;
  return names;
}

// Object names compare without regard to case, as the object manager's do.
bool SameName(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

std::string InterfaceName(const DEVICE_OBJECT* device, const GUID& c) {
  char text[96];
  std::snprintf(text, sizeof text,
                "\\??\\KSV#%p#{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<const void*>(device), c.Data1, c.Data2, c.Data3, c.Data4[0],
                c.Data4[1], c.Data4[2], c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6],
                c.Data4[7]);
  return text;
}

}  // namespace

NTSTATUS IoCreateSymbolicLink(const char* linkName, const char* deviceName) {
  if (linkName == nullptr || deviceName == nullptr) return STATUS_INVALID_PARAMETER;
  Names& names = TheNames();
  std::lock_guard guard(names.lock);
  for (const SymbolicLink& link : names.links) {
    if (SameName(link.link, linkName)) return STATUS_OBJECT_NAME_COLLISION;
  }
  names.links.push_back({linkName, deviceName});
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(const char* linkName) {
  if (linkName == nullptr) return STATUS_INVALID_PARAMETER;
  Names& names = TheNames();
  std::lock_guard guard(names.lock);
  const auto found = std::find_if(names.links.begin(), names.links.end(),
                                  [&](const SymbolicLink& l) { return SameName(l.link, linkName); });
  if (found == names.links.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
  names.links.erase(found);
  return STATUS_SUCCESS;
}

NTSTATUS IoRegisterDeviceInterface(const DEVICE_OBJECT* physicalDevice,
                                   const GUID& interfaceClass, char** symbolicLinkName) {
  if (symbolicLinkName == nullptr) return STATUS_INVALID_PARAMETER;
  *symbolicLinkName = nullptr;
  const std::string name = InterfaceName(physicalDevice, interfaceClass);
  auto* copy = static_cast<char*>(
      ExAllocatePoolWithTag(PagedPool, name.size() + 1, MakePoolTag("KsvI")));
  if (copy == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  std::memcpy(copy, name.c_str(), name.size() + 1);
  Names& names = TheNames();
  std::lock_guard guard(names.lock);
  const bool known = std::any_of(names.interfaces.begin(), names.interfaces.end(),
                                 [&](const DeviceInterface& i) { return i.name == name; });
  if (!known) names.interfaces.push_back({name, interfaceClass, false});
  *symbolicLinkName = copy;
  return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(const char* symbolicLinkName, bool enable) {
  if (symbolicLinkName == nullptr) return STATUS_INVALID_PARAMETER;
  Names& names = TheNames();
  std::lock_guard guard(names.lock);
  for (DeviceInterface& i : names.interfaces) {
    if (SameName(i.name, symbolicLinkName)) {
      i.enabled = enable;
      return STATUS_SUCCESS;
    }
  }
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

std::vector<SymbolicLink> SymbolicLinks() {
  std::lock_guard guard(TheNames().lock);
  return TheNames().links;
}

std::vector<DeviceInterface> DeviceInterfaces() {
  std::lock_guard guard(TheNames().lock);
  return TheNames().interfaces;
}

}  // namespace ksv::platform::kernel
