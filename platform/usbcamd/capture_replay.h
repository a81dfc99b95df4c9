// Replays a recorded packet capture through a camera. The replay owns a
// simulated performance counter that reads each record's time before its
// packet is delivered, so frame pacing comes out the same on every run.
// Install Clock() (ScopedPerformanceCounter) before the stream opens: the
// clock already reads the first record's time when the replay is made.
#pragma once

#include <cstdint>
#include <istream>

#include "platform/kernel/performance_counter.h"
#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/packet_capture.h"

namespace ksv::platform::usbcamd {

class CaptureReplay {
 public:
  // Reads the header and the first record. Throws CaptureFormatError.
  explicit CaptureReplay(std::istream& in);

  uint16_t MaximumPacketSize() const { return reader_.MaximumPacketSize(); }
  const kernel::PerformanceCounterSource& Clock() const { return clock_; }
  uint64_t PacketsDelivered() const { return delivered_; }

  // Moves the clock to the next record's time and hands its packet to
  // `camera`. False when the capture has ended. Throws CaptureFormatError
  // when the next record is damaged.
  bool DeliverNext(UsbCamdCamera& camera);

 private:
  PacketCaptureReader reader_;
  // Time follows the recording only; the driver's waits do not move it.
  kernel::SimulatedPerformanceCounter clock_{kCaptureTicksPerSecond, 0, false};
  CaptureRecord next_;
  bool hasNext_ = false;
  uint64_t delivered_ = 0;
};

}  // namespace ksv::platform::usbcamd
