#include "platform/usbcamd/packet_capture.h"

#include <algorithm>
#include <array>
#include <string>

#include "support/byte_order.h"

namespace ksv::platform::usbcamd {
namespace {

template <size_t kSize>
void WriteBytes(std::ostream& out, const std::array<uint8_t, kSize>& bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(kSize));
}

// Reads exactly `count` bytes; returns how many arrived.
size_t ReadUpTo(std::istream& in, uint8_t* to, size_t count) {
  in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(count));
  return static_cast<size_t>(in.gcount());
}

std::string RecordName(uint64_t index) { return "record " + std::to_string(index + 1); }

}  // namespace

PacketCaptureWriter::PacketCaptureWriter(std::ostream& out, uint16_t maximumPacketSize)
    : out_(out) {
  if (maximumPacketSize == 0) throw std::invalid_argument("a packet capture needs a packet size");
  std::array<uint8_t, kCaptureHeaderBytes> header{};  // the reserved field stays 0
  std::copy(std::begin(kCaptureMagic), std::end(kCaptureMagic), header.begin());
  support::StoreLe16(header, 8, maximumPacketSize);
  WriteBytes(out_, header);
}

void PacketCaptureWriter::Write(uint64_t time, USBD_STATUS status,
                                std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxCaptureRecordBytes) {
    throw std::length_error("a captured packet holds at most 65535 bytes");
  }
  std::array<uint8_t, kCaptureRecordHeaderBytes> header{};
  support::StoreLe64(header, 0, time);
  support::StoreLe32(header, 8, static_cast<uint32_t>(status));
  support::StoreLe32(header, 12, static_cast<uint32_t>(bytes.size()));
  WriteBytes(out_, header);
  out_.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

PacketCaptureReader::PacketCaptureReader(std::istream& in) : in_(in) {
  std::array<uint8_t, kCaptureHeaderBytes> header{};
  const size_t got = ReadUpTo(in_, header.data(), header.size());
  if (got < header.size() || !std::equal(std::begin(kCaptureMagic), std::end(kCaptureMagic),
                                         reinterpret_cast<const char*>(header.data()))) {
    throw CaptureFormatError("not a packet capture (no \"KSVISO01\" header)");
  }
  maximumPacketSize_ = support::LoadLe16(header, 8);
  if (maximumPacketSize_ == 0) throw CaptureFormatError("packet capture with a packet size of 0");
  if (support::LoadLe16(header, 10) != 0) {
    throw CaptureFormatError("packet capture of an unknown kind (reserved field is not 0)");
  }
}

bool PacketCaptureReader::Next(CaptureRecord& record) {
  std::array<uint8_t, kCaptureRecordHeaderBytes> header{};
  const size_t got = ReadUpTo(in_, header.data(), header.size());
  if (got == 0) return false;
  if (got < header.size()) {
    throw CaptureFormatError(RecordName(recordsRead_) + " is cut off in its header");
  }
  const uint32_t length = support::LoadLe32(header, 12);
  if (length > kMaxCaptureRecordBytes) {
    throw CaptureFormatError(RecordName(recordsRead_) + " claims " + std::to_string(length) +
                             " bytes; a packet holds at most 65535");
  }
  if (bytes_.size() < kMaxCaptureRecordBytes) bytes_.resize(kMaxCaptureRecordBytes);
  if (ReadUpTo(in_, bytes_.data(), length) < length) {
    throw CaptureFormatError(RecordName(recordsRead_) + " is cut off: fewer than its " +
                             std::to_string(length) + " bytes");
  }
  record.time = support::LoadLe64(header, 0);
  record.status = support::LoadLeInt32(header, 8);
  record.bytes = std::span<uint8_t>(bytes_.data(), length);
  ++recordsRead_;
  return true;
}

}  // namespace ksv::platform::usbcamd
