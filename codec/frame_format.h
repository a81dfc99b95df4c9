// The camera's compressed video frame (the 15-byte header flavour) and the
// picture sizes and output codes the decoder knows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/byte_order.h"

namespace ksv::codec {

// Header of a compressed frame; the entropy-coded data follows it.
inline constexpr size_t kFrameLevelOffset = 7;
inline constexpr size_t kFrameDataLengthOffset = 11;  // 32-bit little-endian, unaligned
inline constexpr size_t kFrameHeaderSize = 15;

// Compression codes of the stream formats: planar 4:2:0 (two names) and
// uncompressed 24-bit (B, G, R).
inline constexpr uint32_t kCompressionI420 = support::FourCC('I', '4', '2', '0');
inline constexpr uint32_t kCompressionIYUV = support::FourCC('I', 'Y', 'U', 'V');
inline constexpr uint32_t kCompressionRgb = 0;

// The decoder's own output codes.
enum class OutputCode : uint32_t {
  kBgr24 = 0,     // 24-bit, rows bottom-up, each pixel B, G, R
  kPlanar420 = 1, // Y plane, then Cb, then Cr (width/2 x height/2 each), rows top-down
  kRgb24 = 2,     // as kBgr24 with each pixel R, G, B
};

struct FrameSize {
  uint32_t width = 0;
  uint32_t height = 0;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

constexpr size_t PlanarBytes(FrameSize s) { return size_t{s.width} * s.height * 3 / 2; }
constexpr size_t Rgb24Bytes(FrameSize s) { return size_t{s.width} * s.height * 3; }
constexpr size_t OutputBytes(FrameSize s, OutputCode code) {
  return code == OutputCode::kPlanar420 ? PlanarBytes(s) : Rgb24Bytes(s);
}

// The largest picture any layout decodes (1024 x 768, 24-bit).
inline constexpr size_t kMaxOutputBytes = 1024 * 768 * 3;

}  // namespace ksv::codec
