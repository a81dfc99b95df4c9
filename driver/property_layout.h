// The byte layouts of the property values the driver answers: the
// platform's standard ones (platform/usbcamd/property_layout.h) and the
// camera's own property record, read and written field by field,
// little-endian, at fixed offsets. Every structure starts with the 24-byte
// property header (set, id, flags).
#pragma once

#include <cstdint>

#include "platform/usbcamd/property_layout.h"

namespace ksv::driver::property_layout {

namespace control_value = platform::usbcamd::property_layout::control_value;
namespace video_control = platform::usbcamd::property_layout::video_control;
namespace frame_rate = platform::usbcamd::property_layout::frame_rate;
namespace multiple_item = platform::usbcamd::property_layout::multiple_item;
using platform::usbcamd::property_layout::kFlagsAuto;
using platform::usbcamd::property_layout::kFlagsManual;

// The camera's own property record (CameraPropertyData, 1136 bytes).
namespace camera_property_data {
inline constexpr uint32_t kSize = 1136;
inline constexpr uint32_t kResult = 28;  // 32-bit
inline constexpr uint32_t kRequest = 104;
inline constexpr uint32_t kValue = 106;
inline constexpr uint32_t kIndex = 108;
inline constexpr uint32_t kLength = 110;
}  // namespace camera_property_data

}  // namespace ksv::driver::property_layout
