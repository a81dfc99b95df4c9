// The simulated camera's isochronous packets: how the camera cuts a
// compressed frame for the USB data pipe, and the faults a real bus shows.
//
// Every packet of a frame is `maximumPacketSize` bytes. The frame-start
// packet begins 0xFF 0x01 and carries the frame from its byte 1 (so the
// level lands at byte 8, the camera status byte at byte 10 and the entropy
// data at byte 16); bytes 12..15 are left 0 for the driver to fill. Each data
// packet begins with its sequence number (0..254, wrapping) and carries the
// next bytes of the frame; the last is padded with zeros. Between frames the
// camera sends filler packets (0xFF then 0x00) and zero-length packets.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace ksv::simcam {

struct IsoPacket {
  int32_t status = 0;  // the descriptor status; negative for a failed packet
  std::vector<uint8_t> bytes;
};

// The descriptor status of a packet the host controller could not transfer.
inline constexpr int32_t kFailedPacketStatus = static_cast<int32_t>(0xC0020000);

enum class PacketFault {
  kNone,
  kLost,        // never arrives
  kShort,       // arrives cut short
  kFailed,      // arrives with a failure status
  kOutOfOrder,  // arrives after the packet that follows it
};

// Picks the fault of packet `packet` (0 is the frame-start packet) of frame
// `frame`, given the frame's packet count.
using FaultChooser = std::function<PacketFault(uint32_t frame, uint32_t packet, uint32_t packets)>;

// Rates in 0..1 of each fault per frame packet, drawn from a seeded
// generator: the same seed gives the same faults on every machine.
struct FaultRates {
  double lost = 0;
  double shortened = 0;
  double failed = 0;
  double outOfOrder = 0;
  uint64_t seed = 1;
};
FaultChooser RandomFaults(const FaultRates& rates);

// The faults one frame suffered.
struct FrameFaults {
  uint32_t lost = 0;
  uint32_t shortened = 0;
  uint32_t failed = 0;
  uint32_t outOfOrder = 0;
  bool startHit = false;  // the frame-start packet was one of them
  uint32_t Total() const { return lost + shortened + failed + outOfOrder; }
};

class Packetizer {
 public:
  // Throws std::invalid_argument for a packet size below 16.
  explicit Packetizer(uint16_t maximumPacketSize, FaultChooser faults = {});

  uint16_t MaximumPacketSize() const { return packetSize_; }

  // Appends the packets of `frame` (a compressed frame with its 15-byte
  // header, as EncodeFrame makes it) to `out`, with `statusByte` as the
  // camera status byte. Returns the faults applied. With `busFrames`, also
  // appends there the bus frame each packet takes, counted from the frame
  // start's: the camera sent a lost packet in its own bus frame, which stays
  // empty. Throws std::invalid_argument for a frame shorter than its header.
  FrameFaults CutFrame(std::span<const uint8_t> frame, uint8_t statusByte,
                       std::vector<IsoPacket>& out, std::vector<uint32_t>* busFrames = nullptr);

  // Writes the camera status byte into a frame-start packet CutFrame made,
  // so that a frame cut once can be sent again with the status of the day.
  static void SetStatusByte(IsoPacket& frameStart, uint8_t statusByte);

  // A frame-start packet of a frame that is not sent on (a recording ends
  // as the camera begins its next frame).
  IsoPacket FrameStartOnly(uint8_t statusByte, uint8_t level) const;
  IsoPacket Filler() const;
  static IsoPacket ZeroLength() { return {}; }

 private:
  std::vector<IsoPacket> CleanPackets(std::span<const uint8_t> frame, uint8_t statusByte) const;

  uint16_t packetSize_;
  FaultChooser faults_;
  uint32_t frameIndex_ = 0;
  uint64_t shortLengths_ = 0x9E3779B97F4A7C15;  // varies the length of short packets
};

}  // namespace ksv::simcam
