#include "simcam/packetizer.h"

#include <algorithm>
#include <memory>
#include <random>
#include <stdexcept>
#include <utility>

#include "simcam/frame_encoder.h"

namespace ksv::simcam {
namespace {

constexpr uint16_t kMinimumPacketSize = 16;
constexpr size_t kFrameHeaderSize = 15;
constexpr size_t kStatusOffset = 9;
constexpr size_t kDriverFieldOffset = 11;  // 4 bytes the driver fills in
constexpr uint8_t kSequenceWrap = 255;

// A uniform number in [0, 1) from the generator's top 53 bits, so the
// sequence does not depend on the standard library's distributions.
double Uniform(std::mt19937_64& generator) {
  return static_cast<double>(generator() >> 11) * 0x1.0p-53;
}

}  // namespace

FaultChooser RandomFaults(const FaultRates& rates) {
  auto generator = std::make_shared<std::mt19937_64>(rates.seed);
  return [generator, rates](uint32_t, uint32_t, uint32_t) {
    double draw = Uniform(*generator);
    for (const auto& [rate, fault] :
         {std::pair{rates.lost, PacketFault::kLost}, std::pair{rates.shortened, PacketFault::kShort},
          std::pair{rates.failed, PacketFault::kFailed},
          std::pair{rates.outOfOrder, PacketFault::kOutOfOrder}}) {
      if (draw < rate) return fault;
      draw -= rate;
    }
    return PacketFault::kNone;
  };
}

Packetizer::Packetizer(uint16_t maximumPacketSize, FaultChooser faults)
    : packetSize_(maximumPacketSize), faults_(std::move(faults)) {
  if (maximumPacketSize < kMinimumPacketSize) {
    throw std::invalid_argument("an isochronous packet of the camera holds at least 16 bytes");
  }
}

std::vector<IsoPacket> Packetizer::CleanPackets(std::span<const uint8_t> frame,
                                                uint8_t statusByte) const {
  // The frame as the driver will assemble it: byte 0 is the 0x01 of the
  // start marker, the status byte at 9, the driver's field at 11 zeroed.
  std::vector<uint8_t> carried(frame.begin(), frame.end());
  carried[0] = 0x01;
  carried[kStatusOffset] = statusByte;
  std::fill_n(carried.begin() + kDriverFieldOffset, 4, uint8_t{0});

  const size_t payload = packetSize_ - 1u;
  std::vector<IsoPacket> packets;
  uint8_t sequence = 0;
  for (size_t offset = 0; offset < carried.size(); offset += payload) {
    IsoPacket packet;
    packet.bytes.assign(packetSize_, 0);
    packet.bytes[0] = offset == 0 ? 0xFF : sequence;
    if (offset != 0 && ++sequence == kSequenceWrap) sequence = 0;
    const size_t count = std::min(payload, carried.size() - offset);
    std::copy_n(carried.begin() + static_cast<ptrdiff_t>(offset), count, packet.bytes.begin() + 1);
    packets.push_back(std::move(packet));
  }
  return packets;
}

FrameFaults Packetizer::CutFrame(std::span<const uint8_t> frame, uint8_t statusByte,
                                 std::vector<IsoPacket>& out, std::vector<uint32_t>* busFrames) {
  if (frame.size() < kFrameHeaderSize) {
    throw std::invalid_argument("a compressed frame starts with a 15-byte header");
  }
  std::vector<IsoPacket> packets = CleanPackets(frame, statusByte);
  const auto count = static_cast<uint32_t>(packets.size());
  FrameFaults faults;
  std::vector<uint8_t> lost(count, 0);
  for (uint32_t i = 0; faults_ && i < count; ++i) {
    const PacketFault fault = faults_(frameIndex_, i, count);
    if (fault == PacketFault::kNone || (fault == PacketFault::kOutOfOrder && i + 1 == count)) {
      continue;
    }
    faults.startHit |= i == 0;
    switch (fault) {
      case PacketFault::kLost:
        lost[i] = 1;
        ++faults.lost;
        break;
      case PacketFault::kShort:
        shortLengths_ = shortLengths_ * 6364136223846793005u + 1442695040888963407u;
        packets[i].bytes.resize(1 + (shortLengths_ >> 33) % (packetSize_ - 1u));
        ++faults.shortened;
        break;
      case PacketFault::kFailed:
        packets[i].status = kFailedPacketStatus;
        ++faults.failed;
        break;
      case PacketFault::kOutOfOrder:
        std::swap(packets[i], packets[i + 1]);
        std::swap(lost[i], lost[i + 1]);
        ++faults.outOfOrder;
        ++i;  // the packet moved forward keeps its place now
        break;
      case PacketFault::kNone:
        break;
    }
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (lost[i]) continue;
    out.push_back(std::move(packets[i]));
    if (busFrames != nullptr) busFrames->push_back(i);
  }
  ++frameIndex_;
  return faults;
}

void Packetizer::SetStatusByte(IsoPacket& frameStart, uint8_t statusByte) {
  frameStart.bytes[1 + kStatusOffset] = statusByte;
}

IsoPacket Packetizer::FrameStartOnly(uint8_t statusByte, uint8_t level) const {
  IsoPacket packet;
  packet.bytes.assign(packetSize_, 0);
  packet.bytes[0] = 0xFF;
  packet.bytes[1] = 0x01;
  packet.bytes[1 + kFrameLevelOffset] = level;
  packet.bytes[1 + kStatusOffset] = statusByte;
  return packet;
}

IsoPacket Packetizer::Filler() const {
  IsoPacket packet;
  packet.bytes.assign(packetSize_, 0);
  packet.bytes[0] = 0xFF;
  return packet;
}

}  // namespace ksv::simcam
