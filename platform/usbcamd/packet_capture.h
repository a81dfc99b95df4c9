// Recorded isochronous packets: a file a person records from the camera's
// data pipe (or the simulated camera writes) and replays through the class
// driver. All fields little-endian:
//
//   header   "KSVISO01", u16 MaximumPacketSize, u16 reserved (0)
//   records  u64 time (100-ns units), i32 descriptor status,
//            u32 length, then `length` packet bytes
//
// The reader treats the file as hostile: every length is checked before a
// byte is read, and a cut-off record is an error, not a short packet.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <stdexcept>
#include <vector>

#include "platform/usbcamd/usb_types.h"

namespace ksv::platform::usbcamd {

inline constexpr char kCaptureMagic[8] = {'K', 'S', 'V', 'I', 'S', 'O', '0', '1'};
inline constexpr size_t kCaptureHeaderBytes = 12;
inline constexpr size_t kCaptureRecordHeaderBytes = 16;
// Larger than any isochronous packet; a longer record is not a packet.
inline constexpr uint32_t kMaxCaptureRecordBytes = 65535;
// Record times count 100-ns units.
inline constexpr int64_t kCaptureTicksPerSecond = 10'000'000;

class CaptureFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CaptureRecord {
  uint64_t time = 0;
  USBD_STATUS status = USBD_STATUS_SUCCESS;
  std::span<uint8_t> bytes;  // valid until the reader's next call
};

class PacketCaptureWriter {
 public:
  // Writes the header. Throws std::invalid_argument for a packet size of 0.
  PacketCaptureWriter(std::ostream& out, uint16_t maximumPacketSize);

  // Throws std::length_error for more than kMaxCaptureRecordBytes bytes.
  void Write(uint64_t time, USBD_STATUS status, std::span<const uint8_t> bytes);

 private:
  std::ostream& out_;
};

class PacketCaptureReader {
 public:
  // Reads and checks the header. Throws CaptureFormatError.
  explicit PacketCaptureReader(std::istream& in);

  uint16_t MaximumPacketSize() const { return maximumPacketSize_; }
  uint64_t RecordsRead() const { return recordsRead_; }

  // The next record; false at the end of the file. Throws CaptureFormatError
  // for a cut-off record or one longer than kMaxCaptureRecordBytes.
  bool Next(CaptureRecord& record);

 private:
  std::istream& in_;
  uint16_t maximumPacketSize_ = 0;
  uint64_t recordsRead_ = 0;
  std::vector<uint8_t> bytes_;  // the current record's packet, reused
};

}  // namespace ksv::platform::usbcamd
