// One connection to the machine hive per process, shared by the kernel's
// and the user-mode registry calls. It follows the system root: when
// $KSV_ROOT changes (each test sets its own), the next call opens the hive
// there.
#pragma once

#include <memory>

#include "platform/registry/registry_store.h"

namespace ksv::platform {

// Throws RegistryError when the hive cannot be opened.
std::shared_ptr<RegistryStore> SharedMachineHive();

}  // namespace ksv::platform
