#include "platform/registry/machine_hive.h"

#include <unistd.h>

#include <mutex>

#include "platform/root/system_root.h"

namespace ksv::platform {

std::shared_ptr<RegistryStore> SharedMachineHive() {
  static std::mutex lock;
  static std::shared_ptr<RegistryStore> hive;
  static std::filesystem::path hiveRoot;
  static pid_t hivePid = 0;
  std::filesystem::path root;
  try {
    root = SystemRoot();
  } catch (const std::runtime_error& error) {
    throw RegistryError(std::string("registry: ") + error.what());
  }
  std::lock_guard guard(lock);
  if (hive && hivePid != ::getpid()) {
    // A forked child must not touch its parent's connection, not even to
    // close it: SQLite's locks belong to the process that opened it.
    new std::shared_ptr<RegistryStore>(std::move(hive));
    hive.reset();
  }
  if (!hive || root != hiveRoot) {
    hive = std::shared_ptr<RegistryStore>(RegistryStore::OpenMachineHive());
    hiveRoot = root;
    hivePid = ::getpid();
  }
  return hive;
}

}  // namespace ksv::platform
