#include "driver/driver_values.h"

#include <mutex>

namespace ksv::driver {
namespace {

std::mutex writerLock;
DriverValueWriter installedWriter = nullptr;
void* installedUser = nullptr;

}  // namespace

void InstallDriverValueWriter(DriverValueWriter writer, void* user) {
  std::lock_guard guard(writerLock);
  installedWriter = writer;
  installedUser = user;
}

void WriteDriverValue(std::string_view name, uint32_t value) {
  std::lock_guard guard(writerLock);
  if (installedWriter != nullptr) installedWriter(installedUser, name, value);
}

}  // namespace ksv::driver
