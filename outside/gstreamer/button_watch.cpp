#include "outside/gstreamer/button_watch.h"

#include <sys/stat.h>

#include <exception>

#include "platform/root/system_root.h"

namespace ksv::outside::gstreamer {
namespace {

constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";
constexpr uint32_t kButtonHeld = 0x20;
constexpr uint32_t kMissing = 0xFFFFFFFF;

}  // namespace

ButtonWatch::ButtonWatch() : registry_(platform::RegistryStore::OpenMachineHive()) {
  // Where the registry keeps the machine hive (platform/registry).
  database_ = (platform::SystemRoot() / "registry" / "machine.sqlite3").string();
  log_ = database_ + "-wal";
  databaseStamp_ = StampOf(database_);
  logStamp_ = StampOf(log_);
  held_ = Held();
}

ButtonWatch::Stamp ButtonWatch::StampOf(const std::string& path) const {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
          static_cast<int64_t>(status.st_size)};
}

bool ButtonWatch::Held() {
  try {
    const auto value = registry_->GetDword(kDriverKey, "Button");
    return value && *value != kMissing && (*value & kButtonHeld) != 0;
  } catch (const std::exception&) {  // unreadable now: as it was
    return held_;
  }
}

bool ButtonWatch::NewPress() {
  const Stamp database = StampOf(database_);
  const Stamp log = StampOf(log_);
  if (database == databaseStamp_ && log == logStamp_) return false;
  databaseStamp_ = database;
  logStamp_ = log;
  const bool held = Held();
  const bool pressed = held && !held_;
  held_ = held;
  return pressed;
}

}  // namespace ksv::outside::gstreamer
