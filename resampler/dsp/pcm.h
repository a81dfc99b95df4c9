// Sample conversions between PCM and the converter's float samples (16-bit
// scale), with their rounding, saturation and 8-bit rules, and the
// integer-only conversions used when the rate stays the same.
#pragma once

#include <cmath>
#include <cstdint>

namespace ksv::resampler {

// 8-bit samples are unsigned around 128; as floats they are (s - 128) * 256.
inline float Pcm8ToFloat(uint8_t s) { return static_cast<float>((static_cast<int32_t>(s) - 128) * 256); }
inline float Pcm16ToFloat(int16_t s) { return static_cast<float>(s); }

// Two channels mixed to one on reading (shifts are arithmetic).
inline float Mix16ToFloat(int16_t l, int16_t r) { return static_cast<float>(((l + 1) >> 1) + (r >> 1)); }
inline float Mix8ToFloat(uint8_t l, uint8_t r) {
  return static_cast<float>((((static_cast<int32_t>(l) - 127) >> 1) + (r >> 1) - 64) * 256);
}

// Round to nearest, ties to even; 32767.0 or more in magnitude saturates
// (to 32767 at or above zero, else -32768).
inline int16_t FloatToPcm16(float v) {
  if (std::fabs(v) >= 32767.0f) return v >= 0.0f ? int16_t{32767} : int16_t{-32768};
  return static_cast<int16_t>(std::lrintf(v));
}

// Clamp to -32768..32767, truncate toward zero, divide by 256 toward zero,
// add 128.
inline uint8_t FloatToPcm8(float v) {
  float c = v < -32768.0f ? -32768.0f : (v > 32767.0f ? 32767.0f : v);
  return static_cast<uint8_t>(static_cast<int32_t>(c) / 256 + 128);
}

}  // namespace ksv::resampler
