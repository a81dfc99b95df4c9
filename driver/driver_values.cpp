#include "driver/driver_values.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/kernel_registry.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;

std::mutex observerLock;
DriverValueWriter installedObserver = nullptr;
void* installedUser = nullptr;

}  // namespace

void InstallDriverValueWriter(DriverValueWriter observer, void* user) {
  std::lock_guard guard(observerLock);
  installedObserver = observer;
  installedUser = user;
}

void WriteDriverValue(std::string_view name, uint32_t value) {
  const std::string valueName(name);
  kernel::RtlWriteRegistryValue(kernel::RTL_REGISTRY_ABSOLUTE, kDriverKeyPath, valueName.c_str(),
                                kernel::REG_DWORD, &value, sizeof value);
  std::lock_guard guard(observerLock);
  if (installedObserver != nullptr) installedObserver(installedUser, name, value);
}

void ReadDriverValues(std::initializer_list<DriverValueTarget> targets) {
  std::vector<kernel::RTL_QUERY_REGISTRY_TABLE> table;
  table.reserve(targets.size() + 1);
  for (const DriverValueTarget& entry : targets) {
    *entry.target = -1;
    table.push_back({nullptr, kernel::RTL_QUERY_REGISTRY_DIRECT, entry.name, entry.target});
  }
  table.push_back({});  // the end
  kernel::RtlQueryRegistryValues(kernel::RTL_REGISTRY_ABSOLUTE, kDriverKeyPath, table.data(),
                                 nullptr, nullptr);
}

}  // namespace ksv::driver
