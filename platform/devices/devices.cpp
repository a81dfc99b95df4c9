#include "platform/devices/devices.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "platform/registry/machine_hive.h"
#include "platform/sync/waitable.h"

namespace ksv::platform::devices {

namespace {

namespace fs = std::filesystem;
using ksv::com::FormatGuid;
using ksv::com::ParseGuid;

std::string ClassKey(const GUID& classGuid) {
  return "System\\CurrentControlSet\\Control\\DeviceClasses\\" + FormatGuid(classGuid);
}

struct Interface {
  std::string path;
  fs::path module;
};

// One list made by SetupDiGetClassDevsA.
struct InterfaceList {
  GUID classGuid;
  std::vector<Interface> interfaces;
};

struct Lists {
  std::mutex mutex;
  std::set<InterfaceList*> live;
};

Lists& TheLists() {
  static auto* lists = new Lists;
  return *lists;
}

InterfaceList* ListOf(HDEVINFO handle) {
  std::lock_guard guard(TheLists().mutex);
  auto* list = static_cast<InterfaceList*>(handle);
  return TheLists().live.count(list) != 0 ? list : nullptr;
}

// The registered interfaces of the class whose driver module is there.
std::vector<Interface> PresentInterfaces(const GUID& classGuid) {
  std::vector<Interface> found;
  for (const auto& value : SharedMachineHive()->ListValues(ClassKey(classGuid))) {
    std::error_code error;
    if (value.type == platform::RegistryType::kString && fs::is_regular_file(value.data, error)) {
      found.push_back({value.name, value.data});
    }
  }
  return found;
}

// Each driver module is loaded once and its driver kept for the process,
// as a kernel driver stays loaded while its device is there.
DeviceDriver* DriverIn(const fs::path& module) {
  static std::mutex mutex;
  static auto* drivers = new std::map<std::string, DeviceDriver*>;
  std::lock_guard guard(mutex);
  const std::string key = module.lexically_normal().string();
  if (const auto found = drivers->find(key); found != drivers->end()) return found->second;
  void* library = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  const auto open = reinterpret_cast<OpenDriverFunction>(dlsym(library, kOpenDriverEntry));
  DeviceDriver* driver = open != nullptr ? open() : nullptr;
  if (driver == nullptr) {
    dlclose(library);
    return nullptr;
  }
  (*drivers)[key] = driver;
  return driver;
}

// An open device interface: always signalled, as an idle file handle is.
class DeviceFile final : public sync::WaitableObject {
 public:
  explicit DeviceFile(DeviceDriver* driver) : driver_(driver) {}
  bool SignalledLocked() const override { return true; }
  void TakeLocked() override {}
  DeviceDriver* driver() const { return driver_; }

 private:
  DeviceDriver* driver_;
};

// The class in a path "\\?\KSV#NAME#0000#{class}", after the last '#'.
std::optional<GUID> ClassInPath(std::string_view path) {
  const size_t hash = path.rfind('#');
  if (hash == std::string_view::npos) return std::nullopt;
  return ParseGuid(path.substr(hash + 1));
}

bool SamePath(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string InterfacePath(const GUID& classGuid, std::string_view name) {
  return "\\\\?\\KSV#" + std::string(name) + "#0000#" + FormatGuid(classGuid);
}

void RegisterDeviceInterface(const GUID& classGuid, std::string_view name, const fs::path& module) {
  SharedMachineHive()->SetString(ClassKey(classGuid), InterfacePath(classGuid, name), module.string());
}

bool UnregisterDeviceInterface(const GUID& classGuid, std::string_view name) {
  return SharedMachineHive()->DeleteValue(ClassKey(classGuid), InterfacePath(classGuid, name));
}

}  // namespace ksv::platform::devices

using namespace ksv::platform::devices;

extern "C" {

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* /*enumerator*/, HWND /*parent*/, DWORD flags) {
  if (classGuid == nullptr || (flags & DIGCF_DEVICEINTERFACE) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  try {
    auto list = std::make_unique<InterfaceList>();
    list->classGuid = *classGuid;
    list->interfaces = PresentInterfaces(*classGuid);
    std::lock_guard guard(TheLists().mutex);
    TheLists().live.insert(list.get());
    return list.release();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (const std::exception&) {
    SetLastError(ERROR_CANTREAD);  // the registry cannot be read
  }
  return INVALID_HANDLE_VALUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO handle, SP_DEVINFO_DATA* /*device*/, const GUID* classGuid, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data) {
  InterfaceList* list = ListOf(handle);
  if (list == nullptr || classGuid == nullptr || data == nullptr) {
    SetLastError(list == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!(*classGuid == list->classGuid) || index >= list->interfaces.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = list->classGuid;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index + 1;  // which interface of the list
  return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* /*device*/) {
  InterfaceList* list = ListOf(handle);
  if (list == nullptr || data == nullptr || data->Reserved == 0 || data->Reserved > list->interfaces.size()) {
    SetLastError(list == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string& path = list->interfaces[data->Reserved - 1].path;
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
  if (requiredSize != nullptr) *requiredSize = needed;
  if (detail != nullptr && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detail == nullptr || detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
  return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  InterfaceList* list = ListOf(handle);
  if (list == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard guard(TheLists().mutex);
    TheLists().live.erase(list);
  }
  delete list;
  return TRUE;
}

HANDLE CreateFileA(const char* path, DWORD /*access*/, DWORD /*share*/, void* /*security*/, DWORD disposition,
                   DWORD /*flags*/, HANDLE /*templateFile*/) {
  if (path == nullptr || disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  try {
    const std::optional<GUID> classGuid = ClassInPath(path);
    if (classGuid) {
      for (const Interface& present : PresentInterfaces(*classGuid)) {
        if (!SamePath(present.path, path)) continue;
        if (DeviceDriver* driver = DriverIn(present.module)) {
          return ksv::platform::sync::OpenHandle(std::make_shared<DeviceFile>(driver));
        }
      }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (const std::exception&) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  return INVALID_HANDLE_VALUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* input, DWORD inputBytes, void* output, DWORD outputBytes,
                     DWORD* bytesReturned, void* overlapped) {
  const auto file = std::dynamic_pointer_cast<DeviceFile>(ksv::platform::sync::ObjectOf(device));
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD returned = 0;
  const LONG result = file->driver()->Control(code, input, inputBytes, output, outputBytes, &returned);
  if (bytesReturned != nullptr) *bytesReturned = returned;
  if (result != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(result));
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
