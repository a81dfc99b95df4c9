// The byte layouts of the property requests and values the driver answers,
// read and written field by field, little-endian, at fixed offsets. Every
// structure starts with the 24-byte property header (set, id, flags).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace ksv::driver::property_layout {

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

// The camera's own property record (CameraPropertyData, 1136 bytes).
namespace camera_property_data {
inline constexpr uint32_t kSize = 1136;
inline constexpr uint32_t kResult = 28;  // 32-bit
inline constexpr uint32_t kRequest = 104;
inline constexpr uint32_t kValue = 106;
inline constexpr uint32_t kIndex = 108;
inline constexpr uint32_t kLength = 110;
}  // namespace camera_property_data

// Little-endian fields; the caller has checked the buffer's size.
inline uint32_t Load32(std::span<const uint8_t> bytes, uint32_t offset) {
  return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
         uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
}
inline uint16_t Load16(std::span<const uint8_t> bytes, uint32_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}
inline void Store32(std::span<uint8_t> bytes, uint32_t offset, uint32_t value) {
  for (uint32_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Store64(std::span<uint8_t> bytes, uint32_t offset, uint64_t value) {
  for (uint32_t i = 0; i < 8; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Store16(std::span<uint8_t> bytes, uint32_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace ksv::driver::property_layout
