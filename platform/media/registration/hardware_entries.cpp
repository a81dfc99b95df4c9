#include "platform/media/registration/hardware_entries.h"

#include "platform/hardware/device_list.h"
#include "platform/media/registration/category_store.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::media::registration {

std::vector<HardwareEntry> ListHardwareCaptureDevices(REFCLSID category) {
  std::vector<HardwareEntry> entries;
  if (category != CLSID_VideoInputDeviceCategory) return entries;
  const std::string_view wanted = platform::usbcamd::kUsbDeviceInterface;
  const auto machine = platform::hardware::EnumerateDevices();
  for (platform::hardware::HardwareDevice* device : machine.devices) {
    if (device->Function(wanted) != nullptr) {
      entries.push_back({std::string(device->Name()), std::string(wanted)});
    }
  }
  return entries;
}

std::optional<CLSID> CaptureFilterClassFor(std::string_view /*interfaceName*/) {
  return std::nullopt;
}

void PublishHardwareCaptureDevices(REFCLSID category) {
  for (const HardwareEntry& entry : ListHardwareCaptureDevices(category)) {
    const std::optional<CLSID> filter = CaptureFilterClassFor(entry.interfaceName);
    if (!filter) continue;
    std::string instance = entry.friendlyName;  // a key name holds no separator
    for (char& c : instance) {
      if (c == '\\') c = '_';
    }
    WriteInstance(category, instance, entry.friendlyName, *filter, nullptr);
  }
}

}  // namespace ksv::media::registration
