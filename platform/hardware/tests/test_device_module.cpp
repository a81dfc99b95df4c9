// A hardware module for the device list's tests: its device offers one
// function, "test-counter", a counter of how many devices the module made.
#include <string_view>

#include "platform/hardware/hardware_device.h"

namespace {

int devicesMade = 0;

class TestDevice final : public ksv::platform::hardware::HardwareDevice {
 public:
  std::string_view Name() const override { return "Test Device"; }
  void* Function(std::string_view name) override {
    return name == "test-counter" ? &devicesMade : nullptr;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) ksv::platform::hardware::HardwareDevice*
KsvCreateHardwareDevice() {
  ++devicesMade;
  return new TestDevice;
}
