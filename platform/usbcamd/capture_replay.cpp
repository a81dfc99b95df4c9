#include "platform/usbcamd/capture_replay.h"

namespace ksv::platform::usbcamd {

CaptureReplay::CaptureReplay(std::istream& in) : reader_(in) {
  hasNext_ = reader_.Next(next_);
  if (hasNext_) clock_.Set(static_cast<int64_t>(next_.time));
}

bool CaptureReplay::DeliverNext(UsbCamdCamera& camera) {
  if (!hasNext_) return false;
  // The counter is the record time as a two's-complement value; the driver
  // reads it back as the same unsigned 100-ns count.
  clock_.Set(static_cast<int64_t>(next_.time));
  camera.ReceivePacket(next_.status, next_.bytes);
  ++delivered_;
  // The packet's bytes live in the reader's buffer until the next read.
  hasNext_ = reader_.Next(next_);
  return true;
}

}  // namespace ksv::platform::usbcamd
