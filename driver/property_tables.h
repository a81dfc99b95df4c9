// The device property sets the driver declares to the class driver with its
// stream information: the camera's own set, video processing amplifier,
// camera control and video control, each id with its directions, minimum
// sizes, accepted range and default.
#pragma once

#include <cstdint>

#include "platform/kernel/guid.h"
#include "platform/usbcamd/stream_class.h"

namespace ksv::driver {

// {887895A9-63DE-4A45-8B83-DFC7559AA64A}
inline constexpr platform::kernel::GUID kCameraPropertySet = {
    0x887895A9, 0x63DE, 0x4A45, {0x8B, 0x83, 0xDF, 0xC7, 0x55, 0x9A, 0xA6, 0x4A}};

// Ids of the camera's own set.
namespace camera_property {
inline constexpr uint32_t kModeIndicator = 5;
inline constexpr uint32_t kWaitForSnapshot = 14;
inline constexpr uint32_t kVendorRead = 10004;
inline constexpr uint32_t kVendorWrite = 10005;
}  // namespace camera_property

inline constexpr uint32_t kDevicePropertySetCount = 4;

// The four sets in the order reported.
const platform::usbcamd::KSPROPERTY_SET* DevicePropertySets();

}  // namespace ksv::driver
