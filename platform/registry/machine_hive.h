// One connection to each hive per process, shared by the kernel's and the
// user-mode registry calls. Each follows the system root: when $KSV_ROOT
// changes (each test sets its own), the next call opens the hive there.
#pragma once

#include <memory>

#include "platform/registry/registry_store.h"

namespace ksv::platform {

// The machine hive (HKEY_LOCAL_MACHINE, and HKEY_CLASSES_ROOT below it).
// Throws RegistryError when the hive cannot be opened.
std::shared_ptr<RegistryStore> SharedMachineHive();

// The current user's hive (HKEY_CURRENT_USER). Throws RegistryError.
std::shared_ptr<RegistryStore> SharedUserHive();

// Makes `hive` the process's machine hive whatever the root, until called
// with null. For a process that keeps its registry to itself: a fuzzer that
// opens and closes a stream thousands of times a second, each time writing
// the driver's values, saves a file's locks and journal with a hive in
// memory (RegistryStore::OpenInMemory).
void UseOwnMachineHive(std::shared_ptr<RegistryStore> hive);

}  // namespace ksv::platform
