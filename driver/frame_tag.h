// The 4-byte frame context the class driver keeps for every raw frame: the
// frame number in the low 16 bits, and 0x55AA in the high 16 bits when a
// packet of the frame was lost, short, failed or out of sequence.
#pragma once

#include <cstdint>
#include <cstring>

namespace ksv::driver {

inline constexpr uint32_t kFrameContextSize = 4;
inline constexpr uint32_t kDamagedFrameMark = 0x55AA;

struct FrameTag {
  uint16_t frameNumber = 0;
  bool damaged = false;

  constexpr uint32_t Value() const {
    return uint32_t{frameNumber} | (damaged ? kDamagedFrameMark << 16 : 0u);
  }
  static constexpr FrameTag FromValue(uint32_t value) {
    return {static_cast<uint16_t>(value & 0xFFFF), (value >> 16) == kDamagedFrameMark};
  }

  // The frame context is class-driver memory with no alignment promise.
  static FrameTag Read(const void* frameContext) {
    uint32_t value = 0;
    std::memcpy(&value, frameContext, sizeof value);
    return FromValue(value);
  }
  void Write(void* frameContext) const {
    const uint32_t value = Value();
    std::memcpy(frameContext, &value, sizeof value);
  }
};

}  // namespace ksv::driver
