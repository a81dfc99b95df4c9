#include "driver/frame_assembly.h"
#include "support/byte_order.h"

#include <algorithm>
#include <cstring>

namespace ksv::driver {

AssembledFrame AssembleFrame(std::span<const uint8_t> raw, uint32_t numberOfPackets,
                             uint32_t packetSize, std::span<uint8_t> assembly) {
  AssembledFrame frame;
  if (packetSize < 2) return frame;
  const uint32_t available = static_cast<uint32_t>(raw.size() / packetSize);
  const uint32_t packets = std::min(numberOfPackets, available);
  const size_t payload = packetSize - 1;  // every byte after the sequence number
  size_t position = 0;
  for (uint32_t i = 0; i < packets; ++i) {
    const uint8_t* packet = raw.data() + size_t{i} * packetSize;
    if (IsFrameStartPacket(packet)) position = 0;
    if (payload > assembly.size() - position) {
      frame.overflowed = true;
      break;
    }
    std::memcpy(assembly.data() + position, packet + 1, payload);
    position += payload;
    frame.packets = i + 1;
  }
  frame.bytes = static_cast<uint32_t>(position);
  return frame;
}

void StampAssembledFrame(std::span<uint8_t> assembly, uint32_t outputLength, uint32_t dataLength) {
  support::StoreLe32(assembly, kAssembledOutputLengthOffset, outputLength);
  support::StoreLe32(assembly, kAssembledDataLengthOffset, dataLength);
}

PassThroughHeader MakePassThroughHeader(uint8_t gammaLevel, uint16_t contrast) {
  PassThroughHeader header{};
  std::memcpy(header.data(), "KXJS", 4);
  support::StoreLe16(header, 4, 256);
  header[9] = gammaLevel;
  support::StoreLe16(header, 10, contrast);
  // Offset 12 and the defect-table size and count at 42 and 44 stay 0: the
  // driver never sends a defect table.
  return header;
}

}  // namespace ksv::driver
