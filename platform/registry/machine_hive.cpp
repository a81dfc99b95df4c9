#include "platform/registry/machine_hive.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/root/system_root.h"

namespace ksv::platform {

namespace {

// The variables the system root is worked out from, as last seen. The
// driver reaches the hive at every step of a stream: comparing them costs
// nothing, working out the root anew costs a path.
class RootVariables {
 public:
  // Whether each variable still holds what Remember saw.
  bool Unchanged() const {
    for (size_t i = 0; i < kNames.size(); ++i) {
      if (!seen_[i] || std::strcmp(Value(kNames[i]), values_[i].c_str()) != 0) return false;
    }
    return true;
  }
  void Remember() {
    for (size_t i = 0; i < kNames.size(); ++i) {
      values_[i] = Value(kNames[i]);
      seen_[i] = true;
    }
  }

 private:
  // The ones SystemRoot reads; unset reads as empty, as there.
  static constexpr std::array<const char*, 3> kNames = {"KSV_ROOT", "XDG_DATA_HOME", "HOME"};
  static const char* Value(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
  }
  std::array<std::string, 3> values_;
  std::array<bool, 3> seen_{};
};

// One hive's process-wide connection, reopened when the root or the
// process changes.
class SharedHive {
 public:
  using Opener = std::unique_ptr<RegistryStore> (*)();
  explicit SharedHive(Opener open) : open_(open) {}

  std::shared_ptr<RegistryStore> Get() {
    {
      std::lock_guard guard(lock_);
      if (own_) return own_;
      if (hive_ && pid_ == ::getpid() && variables_.Unchanged()) return hive_;
    }
    RootVariables seen;  // before the root, so that a change in between is seen next time
    seen.Remember();
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
    if (own_) return own_;
    if (!hive_ || root != root_) {
      hive_ = std::shared_ptr<RegistryStore>(open_());
      root_ = root;
      pid_ = ::getpid();
    }
    variables_ = seen;
    return hive_;
  }

  void Own(std::shared_ptr<RegistryStore> hive) {
    std::lock_guard guard(lock_);
    own_ = std::move(hive);
  }

 private:
  Opener open_;
  std::mutex lock_;
  std::shared_ptr<RegistryStore> own_;  // given by UseOwnMachineHive
  std::shared_ptr<RegistryStore> hive_;
  std::filesystem::path root_;
  RootVariables variables_;  // those root_ was worked out from
  pid_t pid_ = 0;
};

SharedHive& MachineHive() {
  static SharedHive hive(&RegistryStore::OpenMachineHive);
  return hive;
}

}  // namespace

std::shared_ptr<RegistryStore> SharedMachineHive() { return MachineHive().Get(); }

void UseOwnMachineHive(std::shared_ptr<RegistryStore> hive) { MachineHive().Own(std::move(hive)); }

std::shared_ptr<RegistryStore> SharedUserHive() {
  static SharedHive hive(&RegistryStore::OpenUserHive);
  return hive.Get();
}

}  // namespace ksv::platform
