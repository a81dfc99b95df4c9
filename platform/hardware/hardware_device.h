// A piece of hardware the machine finds: a device whose functions the
// platform's drivers reach through interfaces of their own (the USB camera
// class driver through UsbDevice, the bulk library through a stored-item
// source, the audio stack through an audio source).
//
// A hardware module is a shared object that makes one device. It exports
//   extern "C" ksv::platform::hardware::HardwareDevice* KsvCreateHardwareDevice();
// and is listed in the machine's device list (device_list.h), which is how
// the platform finds it, as a bus finds a plugged device.
#pragma once

#include <string_view>

namespace ksv::platform::hardware {

class HardwareDevice {
 public:
  virtual ~HardwareDevice() = default;
  // The name a person knows the device by.
  virtual std::string_view Name() const = 0;
  // The device's function reached through the interface named `interfaceName`
  // (each interface's header names its own), or null when the device has
  // none. The caller casts it to that interface. It lives as long as the
  // device.
  virtual void* Function(std::string_view interfaceName) = 0;
  // The seconds a simulated device has spent making what it sends (its
  // pictures, its sound): the device's own cost, which a measurement of the
  // host leaves out. 0 for a device that does not count it.
  virtual double WorkSeconds() const { return 0; }
};

// The name of a hardware module's entry point.
inline constexpr const char* kCreateDeviceEntry = "KsvCreateHardwareDevice";
using CreateDeviceFunction = HardwareDevice* (*)();

}  // namespace ksv::platform::hardware
