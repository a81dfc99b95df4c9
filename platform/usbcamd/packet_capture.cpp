#include "platform/usbcamd/packet_capture.h"

#include <algorithm>
#include <array>
#include <string>

namespace ksv::platform::usbcamd {
namespace {

void PutLe(std::ostream& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLe(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
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
  out_.write(kCaptureMagic, sizeof kCaptureMagic);
  PutLe(out_, maximumPacketSize, 2);
  PutLe(out_, 0, 2);
}

void PacketCaptureWriter::Write(uint64_t time, USBD_STATUS status,
                                std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxCaptureRecordBytes) {
    throw std::length_error("a captured packet holds at most 65535 bytes");
  }
  PutLe(out_, time, 8);
  PutLe(out_, static_cast<uint32_t>(status), 4);
  PutLe(out_, bytes.size(), 4);
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
  maximumPacketSize_ = static_cast<uint16_t>(GetLe(&header[8], 2));
  if (maximumPacketSize_ == 0) throw CaptureFormatError("packet capture with a packet size of 0");
  if (GetLe(&header[10], 2) != 0) {
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
  const auto length = static_cast<uint32_t>(GetLe(&header[12], 4));
  if (length > kMaxCaptureRecordBytes) {
    throw CaptureFormatError(RecordName(recordsRead_) + " claims " + std::to_string(length) +
                             " bytes; a packet holds at most 65535");
  }
  if (bytes_.size() < kMaxCaptureRecordBytes) bytes_.resize(kMaxCaptureRecordBytes);
  if (ReadUpTo(in_, bytes_.data(), length) < length) {
    throw CaptureFormatError(RecordName(recordsRead_) + " is cut off: fewer than its " +
                             std::to_string(length) + " bytes");
  }
  record.time = GetLe(&header[0], 8);
  record.status = static_cast<USBD_STATUS>(static_cast<uint32_t>(GetLe(&header[8], 4)));
  record.bytes = std::span<uint8_t>(bytes_.data(), length);
  ++recordsRead_;
  return true;
}

}  // namespace ksv::platform::usbcamd
