// The kernel driver behind the value interface: each write control stores
// one value under the driver's registry key.
#include <string>

#include "driver/values/value_control.h"
#include "platform/devices/devices.h"
#include "platform/registry/kernel_registry.h"

namespace ksv::driver::values {
namespace {

namespace kernel = platform::kernel;

constexpr const char* kDriverKeyPath = "\\Registry\\Machine\\Software\\Tarvio\\KSV Drivers";
// Longer names and texts are refused rather than read on without end.
constexpr size_t kMaxNameUnits = 255;
constexpr size_t kMaxTextUnits = 32767;

// The UTF-16 text as UTF-8; false when it is longer than `limit` units or
// not valid UTF-16.
bool ReadWide(const char16_t* text, size_t limit, std::string& out) {
  out.clear();
  for (size_t i = 0; text[i] != 0; ++i) {
    if (i >= limit) return false;
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00) {
      const uint32_t low = text[i + 1];
      if (low < 0xDC00 || low >= 0xE000) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    } else if (code >= 0xDC00 && code < 0xE000) {
      return false;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | code >> 18);
      out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return true;
}

class ValueDriver final : public platform::devices::DeviceDriver {
 public:
  LONG Control(DWORD code, const void* input, DWORD inputBytes, void* /*output*/, DWORD /*outputBytes*/,
               DWORD* returned) override {
    *returned = 0;
    if (code != kWriteValueCode) return ERROR_INVALID_FUNCTION;
    if (input == nullptr || inputBytes != sizeof(WriteValueInput)) return ERROR_INVALID_PARAMETER;
    const auto& request = *static_cast<const WriteValueInput*>(input);
    std::string name;
    if (request.name == nullptr || !ReadWide(request.name, kMaxNameUnits, name) || name.empty()) {
      return ERROR_INVALID_PARAMETER;
    }
    kernel::NTSTATUS status = 0;
    if (request.type == kValueDword) {
      const auto value = static_cast<uint32_t>(request.value);
      status = kernel::RtlWriteRegistryValue(kernel::RTL_REGISTRY_ABSOLUTE, kDriverKeyPath, name.c_str(),
                                             kernel::REG_DWORD, &value, sizeof value);
    } else if (request.type == kValueString) {
      std::string text;
      const auto* wide = reinterpret_cast<const char16_t*>(request.value);
      if (wide == nullptr || !ReadWide(wide, kMaxTextUnits, text)) return ERROR_INVALID_PARAMETER;
      status = kernel::RtlWriteRegistryValue(kernel::RTL_REGISTRY_ABSOLUTE, kDriverKeyPath, name.c_str(),
                                             kernel::REG_SZ, text.c_str(), static_cast<uint32_t>(text.size() + 1));
    } else {
      return ERROR_INVALID_PARAMETER;
    }
    return status == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
  }
};

}  // namespace
}  // namespace ksv::driver::values

extern "C" __attribute__((visibility("default"))) ksv::platform::devices::DeviceDriver* KsvOpenDeviceDriver() {
  static auto* driver = new ksv::driver::values::ValueDriver;
  return driver;
}
