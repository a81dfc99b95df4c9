// The machine's capture hardware as entries of the video and audio input
// categories. A device is listed under a capture category when its
// interface has a capture filter class: the camera ("usbcamd.UsbDevice")
// through the kernel-streaming proxy, a microphone ("audio.AudioSource")
// through the audio capture filter. A camera is called what its registered
// driver calls it (platform/usbcamd/camera_stack.h), anything else by its
// own name; the instance's "DevicePath" is the device's name on the
// machine, by which the capture filter finds it when its moniker binds it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/media/registration_interfaces.h"

namespace ksv::media::registration {

struct HardwareEntry {
  std::string friendlyName;   // what capture applications call it
  std::string interfaceName;  // the function the capture filter reaches
  std::string devicePath;     // the device's name on the machine
};

// The machine's devices that belong in `category` (video input: those with
// the USB camera function; audio input: those with an audio source; other
// categories: none). Devices that could not
// be loaded are left out.
std::vector<HardwareEntry> ListHardwareCaptureDevices(REFCLSID category);

// The capture filter class that drives a device through `interfaceName`;
// nothing while no capture filter is known for it.
std::optional<CLSID> CaptureFilterClassFor(std::string_view interfaceName);

// Writes an instance key under `category` for each listed device that has
// a capture filter class (FriendlyName, CLSID, DevicePath, and "Hardware" =
// 1 marking it as a device's; the instance is named after the device), so the
// category's monikers include the devices, and removes the keys of devices
// published earlier that are no longer on the machine.
void PublishHardwareCaptureDevices(REFCLSID category);

}  // namespace ksv::media::registration
