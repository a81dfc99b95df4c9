#include "platform/media/registration/hardware_entries.h"

#include <set>

#include "platform/audio/audio_source.h"
#include "platform/hardware/device_list.h"
#include "platform/media/filter_ids.h"
#include "platform/media/registration/category_store.h"
#include "platform/registry/win32_registry.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::media::registration {
namespace {

// Marks an instance key as a device's, written and removed by enumeration.
constexpr const char* kHardwareValue = "Hardware";
// The device's name on the machine, by which its capture filter finds it.
constexpr const char* kDevicePathValue = "DevicePath";

}  // namespace

std::vector<HardwareEntry> ListHardwareCaptureDevices(REFCLSID category) {
  std::vector<HardwareEntry> entries;
  std::string_view wanted;
  if (category == CLSID_VideoInputDeviceCategory) {
    wanted = platform::usbcamd::kUsbDeviceInterface;
  } else if (category == CLSID_AudioInputDeviceCategory) {
    wanted = platform::audio::kAudioSourceInterface;
  } else {
    return entries;
  }
  std::optional<std::string> driverName;
  if (category == CLSID_VideoInputDeviceCategory) {
    if (const auto driver = platform::usbcamd::RegisteredCameraDriver()) {
      driverName = driver->friendlyName;
    }
  }
  const auto machine = platform::hardware::EnumerateDevices();
  for (platform::hardware::HardwareDevice* device : machine.devices) {
    if (device->Function(wanted) != nullptr) {
      const std::string path(device->Name());
      entries.push_back({driverName.value_or(path), std::string(wanted), path});
    }
  }
  return entries;
}

std::optional<CLSID> CaptureFilterClassFor(std::string_view interfaceName) {
  if (interfaceName == platform::usbcamd::kUsbDeviceInterface) return CLSID_Proxy;
  if (interfaceName == platform::audio::kAudioSourceInterface) return CLSID_AudioRecord;
  return std::nullopt;
}

void PublishHardwareCaptureDevices(REFCLSID category) {
  std::set<std::string> present;
  for (const HardwareEntry& entry : ListHardwareCaptureDevices(category)) {
    const std::optional<CLSID> filter = CaptureFilterClassFor(entry.interfaceName);
    if (!filter) continue;
    std::string instance = entry.devicePath;  // a key name holds no separator
    for (char& c : instance) {
      if (c == '\\') c = '_';
    }
    const std::string keyPath = InstanceKeyPath(category, instance);
    if (WriteInstance(category, instance, entry.friendlyName, *filter, nullptr)) {
      WriteText(keyPath, kDevicePathValue, entry.devicePath);
      WriteDword(keyPath, kHardwareValue, 1);
    }
    present.insert(keyPath);
  }
  // A device unplugged since its key was written leaves the category.
  for (const CategoryEntry& entry : ReadCategory(category)) {
    if (ReadDword(entry.keyPath, kHardwareValue) == 1u && present.count(entry.keyPath) == 0) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, entry.keyPath.c_str());
    }
  }
}

}  // namespace ksv::media::registration
