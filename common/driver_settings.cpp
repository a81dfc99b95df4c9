#include "common/driver_settings.h"

#include "platform/registry/registry_store.h"

namespace ksv::common {

uint32_t ReadMachineDword(std::string_view name, std::string_view key) {
  try {
    return platform::RegistryStore::OpenMachineHive()->GetDword(key, name).value_or(kMissingDword);
  } catch (const std::exception&) {  // no registry, or it cannot be read
    return kMissingDword;
  }
}

}  // namespace ksv::common
