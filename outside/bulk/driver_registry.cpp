#include "outside/bulk/driver_registry.h"

#include "platform/registry/registry_store.h"

namespace ksv::outside::bulk {

bool WriteDriverDword(std::string_view name, uint32_t value) {
  try {
    platform::RegistryStore::OpenMachineHive()->SetDword(kDriverKey, name, value);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool WriteDriverString(std::string_view name, std::string_view text) {
  try {
    platform::RegistryStore::OpenMachineHive()->SetString(kDriverKey, name, text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace ksv::outside::bulk
