// Assembly of a raw frame's packets into the compressed frame the decoder
// reads, and the pass-through form of that frame ("KXJS" output).
//
// A packet's byte 0 is its sequence number (or 0xFF); bytes 1.. onwards are
// the frame. A frame-start packet (0xFF 0x01) carries the frame from its
// first byte: offset 7 is the compression level, 9 the camera status byte,
// 15 onwards the entropy-coded data.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "codec/frame_format.h"
#include "support/byte_order.h"

namespace ksv::driver {

inline constexpr uint32_t kCompressionKxjs = support::FourCC('K', 'X', 'J', 'S');

// Offsets of the frame-start packet.
inline constexpr size_t kPacketLevelOffset = 8;
inline constexpr size_t kPacketStatusOffset = 10;
// The smallest packet that holds a frame-start packet's fields.
inline constexpr uint32_t kMinimumPacketSize = 16;

inline constexpr uint8_t kFillerPacketMarker = 0xFF;

inline bool IsFrameStartPacket(const uint8_t* packet) {
  return packet[0] == 0xFF && packet[1] == 0x01;
}

// Offsets of the assembled frame the driver fills in.
inline constexpr size_t kAssembledOutputLengthOffset = 0;
inline constexpr size_t kAssembledDataLengthOffset = codec::kFrameDataLengthOffset;

struct AssembledFrame {
  uint32_t bytes = 0;    // written into the assembly buffer
  uint32_t packets = 0;  // raw packets taken
  bool overflowed = false;  // more packets than the buffer holds; the rest were left out
};

// Assembles `numberOfPackets` packets of `packetSize` bytes lying back to back
// in `raw` (never more than `raw` holds) into `assembly`. A frame-start
// packet restarts the assembly at offset 0. Stops, flagged, where the next
// packet would pass the end of `assembly`.
AssembledFrame AssembleFrame(std::span<const uint8_t> raw, uint32_t numberOfPackets,
                             uint32_t packetSize, std::span<uint8_t> assembly);

// Stores the output length at offset 0 and the data-length bound (packets x
// packet size) at offset 11, both little-endian. `assembly` holds at least
// the 15-byte header.
void StampAssembledFrame(std::span<uint8_t> assembly, uint32_t outputLength, uint32_t dataLength);

// The pass-through header that goes ahead of the assembled frame.
inline constexpr size_t kPassThroughHeaderSize = 172;
using PassThroughHeader = std::array<uint8_t, kPassThroughHeaderSize>;
PassThroughHeader MakePassThroughHeader(uint8_t gammaLevel, uint16_t contrast);

// What a damaged frame's pass-through output starts with.
inline constexpr std::array<uint8_t, 7> kDamagedPassThroughMark = {0, 1, 2, 3, 4, 5, 6};

}  // namespace ksv::driver
