#include "platform/wia/still_image_devices.h"

#include "platform/registry/registry_store.h"
#include "platform/registry/win32_registry.h"

namespace ksv::platform::wia {

namespace {

void Check(LONG result, const char* what) {
  if (result != ERROR_SUCCESS) {
    throw RegistryError(std::string("cannot write the still-image device's ") + what);
  }
}

std::string ReadString(HKEY key, const char* name) {
  char text[260] = {};
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return text;
}

}  // namespace

void RegisterStillImageDevice(const StillImageDevice& device) {
  HKEY key = nullptr;
  Check(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kStillImageClassKey) + "\\" + device.instance).c_str(),
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "key");
  const std::string driverClass = com::FormatGuid(device.driverClass);
  const LONG classWritten = RegSetValueExA(key, "USDClass", 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(driverClass.c_str()),
                                           static_cast<DWORD>(driverClass.size() + 1));
  const LONG nameWritten = RegSetValueExA(key, "FriendlyName", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(device.friendlyName.c_str()),
                                          static_cast<DWORD>(device.friendlyName.size() + 1));
  RegCloseKey(key);
  Check(classWritten, "driver class");
  Check(nameWritten, "name");
}

bool UnregisterStillImageDevice(const std::string& instance) {
  HKEY classKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStillImageClassKey, 0, KEY_ALL_ACCESS, &classKey) != ERROR_SUCCESS) {
    return false;
  }
  const bool removed = RegDeleteTreeA(classKey, instance.c_str()) == ERROR_SUCCESS;
  RegCloseKey(classKey);
  return removed;
}

std::vector<StillImageDevice> StillImageDevices() {
  std::vector<StillImageDevice> devices;
  HKEY classKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStillImageClassKey, 0, KEY_READ, &classKey) != ERROR_SUCCESS) {
    return devices;
  }
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(classKey, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY key = nullptr;
    if (RegOpenKeyExA(classKey, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    StillImageDevice device{name, ReadString(key, "FriendlyName"), {}};
    const std::optional<GUID> driverClass = com::ParseGuid(ReadString(key, "USDClass"));
    RegCloseKey(key);
    if (!driverClass) continue;
    device.driverClass = *driverClass;
    devices.push_back(std::move(device));
  }
  RegCloseKey(classKey);
  return devices;
}

}  // namespace ksv::platform::wia
