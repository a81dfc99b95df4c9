// Little-endian fields at byte offsets, as the camera's formats store them.
// Callers check the bounds; these read and write exactly the named bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksv::simcam {

inline uint16_t Get16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }
inline uint32_t Get24(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16;
}
inline uint32_t Get32(const uint8_t* at) { return Get24(at) | uint32_t{at[3]} << 24; }

inline void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
inline void Put24(uint8_t* at, uint32_t value) {
  Put16(at, static_cast<uint16_t>(value));
  at[2] = static_cast<uint8_t>(value >> 16);
}
inline void Put32(uint8_t* at, uint32_t value) {
  Put24(at, value);
  at[3] = static_cast<uint8_t>(value >> 24);
}

// Rounds up to a multiple of `unit` (a power of two).
constexpr size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) & ~(unit - 1); }

}  // namespace ksv::simcam

// The camera's memory formats moved to the bulk library use the same helpers
// until the one byte-order header replaces them.
namespace ksv::outside::bulk {
using simcam::Get16;
using simcam::Get24;
using simcam::Get32;
using simcam::Put16;
using simcam::Put24;
using simcam::Put32;
using simcam::RoundUp;
}  // namespace ksv::outside::bulk
