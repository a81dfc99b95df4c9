#include "driver/driver_values.h"

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "platform/registry/kernel_registry.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
constexpr size_t kFewDriverValues = 24;

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
  // On the stack when it fits (the driver reads its values at every stream
  // open and button poll); the entry after the last is the end.
  std::array<kernel::RTL_QUERY_REGISTRY_TABLE, kFewDriverValues + 1> few{};
  std::vector<kernel::RTL_QUERY_REGISTRY_TABLE> many;
  if (targets.size() > kFewDriverValues) many.resize(targets.size() + 1);
  kernel::RTL_QUERY_REGISTRY_TABLE* const table = many.empty() ? few.data() : many.data();
  size_t at = 0;
  for (const DriverValueTarget& entry : targets) {
    *entry.target = -1;
    table[at++] = {nullptr, kernel::RTL_QUERY_REGISTRY_DIRECT, entry.name, entry.target};
  }
  kernel::RtlQueryRegistryValues(kernel::RTL_REGISTRY_ABSOLUTE, kDriverKeyPath, table, nullptr,
                                 nullptr);
}

}  // namespace ksv::driver
