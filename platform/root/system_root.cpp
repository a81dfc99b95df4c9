#include "platform/root/system_root.h"

#include <cstdlib>
#include <stdexcept>

namespace ksv::platform {

namespace {

const char* NonEmptyVariable(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

}  // namespace

std::filesystem::path SystemRoot() {
  if (const char* root = NonEmptyVariable("KSV_ROOT")) return root;
  if (const char* data = NonEmptyVariable("XDG_DATA_HOME")) {
    return std::filesystem::path(data) / "ksv";
  }
  if (const char* home = NonEmptyVariable("HOME")) {
    return std::filesystem::path(home) / ".local" / "share" / "ksv";
  }
  throw std::runtime_error("no system root: set KSV_ROOT (or HOME)");
}

}  // namespace ksv::platform
