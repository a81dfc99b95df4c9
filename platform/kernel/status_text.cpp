#include "platform/kernel/status_text.h"

#include <cstdio>

namespace ksv::platform::kernel {
namespace {

struct KnownStatus {
  NTSTATUS status;
  const char* name;
};
constexpr KnownStatus kKnownStatuses[] = {
    {STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
    {STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
    {STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
    {STATUS_DEVICE_DATA_ERROR, "STATUS_DEVICE_DATA_ERROR"},
    {STATUS_DEVICE_NOT_CONNECTED, "STATUS_DEVICE_NOT_CONNECTED"},
    {STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
    {STATUS_NO_MATCH, "STATUS_NO_MATCH"},
};

}  // namespace

std::string StatusText(NTSTATUS status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  for (const KnownStatus& known : kKnownStatuses) {
    if (known.status == status) return std::string(text) + " (" + known.name + ")";
  }
  return text;
}

}  // namespace ksv::platform::kernel
