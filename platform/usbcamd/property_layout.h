// The byte layouts of the platform's standard video property values, read
// and written field by field, little-endian, at fixed offsets (through
// support/byte_order.h). Every structure starts with the 24-byte property
// header (set, id, flags).
#pragma once

#include <cstdint>

namespace ksv::platform::usbcamd::property_layout {

// Video processing amplifier and camera control value (40 bytes).
namespace control_value {
inline constexpr uint32_t kSize = 40;
inline constexpr uint32_t kValue = 24;  // signed 32-bit
inline constexpr uint32_t kFlags = 28;
inline constexpr uint32_t kCapabilities = 32;
}  // namespace control_value

inline constexpr uint32_t kFlagsAuto = 1;    // ..._FLAGS_AUTO
inline constexpr uint32_t kFlagsManual = 2;  // ..._FLAGS_MANUAL

// Video control capabilities and mode (32 bytes).
namespace video_control {
inline constexpr uint32_t kSize = 32;
inline constexpr uint32_t kStreamIndex = 24;
inline constexpr uint32_t kCapsOrMode = 28;
}  // namespace video_control

// Actual frame rate (56 bytes) and the frame-rates request (40 bytes).
namespace frame_rate {
inline constexpr uint32_t kActualSize = 56;
inline constexpr uint32_t kRequestSize = 40;
inline constexpr uint32_t kStreamIndex = 24;
inline constexpr uint32_t kRangeIndex = 28;
inline constexpr uint32_t kWidth = 32;                         // dimensions: cx
inline constexpr uint32_t kHeight = 36;                        // dimensions: cy
inline constexpr uint32_t kCurrentActualFrameRate = 40;        // 64-bit
inline constexpr uint32_t kCurrentMaxAvailableFrameRate = 48;  // 64-bit
}  // namespace frame_rate

// The frame-rate list: a multiple-item header (size of the items, count)
// followed by the 64-bit intervals.
namespace multiple_item {
inline constexpr uint32_t kSize = 0;
inline constexpr uint32_t kCount = 4;
inline constexpr uint32_t kItems = 8;
}  // namespace multiple_item

}  // namespace ksv::platform::usbcamd::property_layout
