// Any bytes given to the packet capture reader give records or a clear
// error, never a read outside the input or a record longer than its limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/usbcamd/packet_capture.h"

using namespace ksv::platform::usbcamd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    PacketCaptureReader reader(in);
    CaptureRecord record;
    size_t consumed = kCaptureHeaderBytes;
    while (reader.Next(record)) {
      if (record.bytes.size() > kMaxCaptureRecordBytes) std::abort();
      consumed += kCaptureRecordHeaderBytes + record.bytes.size();
      if (consumed > size) std::abort();  // a record made of bytes that were not there
    }
  } catch (const CaptureFormatError&) {
  }
  return 0;
}
