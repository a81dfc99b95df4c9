#include "platform/registry/machine_hive.h"

#include <unistd.h>

#include <mutex>

#include "platform/root/system_root.h"

namespace ksv::platform {

namespace {

// One hive's process-wide connection, reopened when the root or the
// process changes.
class SharedHive {
 public:
  using Opener = std::unique_ptr<RegistryStore> (*)();
  explicit SharedHive(Opener open) : open_(open) {}

  std::shared_ptr<RegistryStore> Get() {
    std::filesystem::path root;
    try {
      root = SystemRoot();
    } catch (const std::runtime_error& error) {
      throw RegistryError(std::string("registry: ") + error.what());
    }
    std::lock_guard guard(lock_);
    if (hive_ && pid_ != ::getpid()) {
      // A forked child must not touch its parent's connection, not even to
      // close it: SQLite's locks belong to the process that opened it.
      new std::shared_ptr<RegistryStore>(std::move(hive_));
      hive_.reset();
    }
    if (!hive_ || root != root_) {
      hive_ = std::shared_ptr<RegistryStore>(open_());
      root_ = root;
      pid_ = ::getpid();
    }
    return hive_;
  }

 private:
  Opener open_;
  std::mutex lock_;
  std::shared_ptr<RegistryStore> hive_;
  std::filesystem::path root_;
  pid_t pid_ = 0;
};

}  // namespace

std::shared_ptr<RegistryStore> SharedMachineHive() {
  static SharedHive hive(&RegistryStore::OpenMachineHive);
  return hive.Get();
}

std::shared_ptr<RegistryStore> SharedUserHive() {
  static SharedHive hive(&RegistryStore::OpenUserHive);
  return hive.Get();
}

}  // namespace ksv::platform
