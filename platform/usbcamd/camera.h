// One camera as the USB camera class driver serves it: its device context,
// its life (start, stream, stop) and the isochronous path. Each received
// packet goes to the minidriver's packet routine; the bytes it accepts are
// copied into the current raw frame; a frame-complete answer closes that raw
// frame, hands it to the raw-frame routine with a read buffer of the open
// format, and opens the next. Finished frames wait in the read queue for the
// stream's reader.
//
// Raw frames are processed on the caller's thread as soon as they close, so
// a replay runs the same way every time. Nothing is allocated per packet or
// per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/usbcamd/class_driver.h"
#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/read_queue.h"

namespace ksv::platform::usbcamd {

// What happened on the isochronous path since the stream opened.
struct IsochronousCounters {
  uint64_t packets = 0;
  uint64_t framesCompleted = 0;      // raw frames given to the raw-frame routine
  uint64_t emptyFrames = 0;          // closed without a byte; their buffer is reused
  uint64_t framesWithoutReader = 0;  // frames lost because every read buffer was full
  uint64_t packetsOverflowed = 0;    // accepted bytes that did not fit the raw frame
};

class UsbCamdCamera {
 public:
  // A camera whose data pipe has `maximumPacketSize`. The minidriver must be
  // registered with `classDriver` (std::invalid_argument otherwise).
  UsbCamdCamera(ClassDriver& classDriver, uint16_t maximumPacketSize);
  ~UsbCamdCamera();  // closes the stream and stops the device if needed
  UsbCamdCamera(const UsbCamdCamera&) = delete;
  UsbCamdCamera& operator=(const UsbCamdCamera&) = delete;

  // Configures (data pipe 0, no sync pipe) and initialises the device.
  NTSTATUS Start();
  // Allocates bandwidth for `format`, the raw frame buffer and `readBuffers`
  // read buffers of the format's sample size, starts capture and opens the
  // first raw frame.
  NTSTATUS OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format, uint32_t readBuffers = 4);
  // Stops capture and frees bandwidth; frames the reader has not taken are
  // discarded.
  NTSTATUS CloseStream();
  NTSTATUS Stop();

  // One isochronous packet as received: descriptor status and the bytes
  // (their count is the descriptor length). Returns the descriptor status as
  // the minidriver left it. Ignored while no stream is open.
  USBD_STATUS ReceivePacket(USBD_STATUS status, std::span<uint8_t> bytes);

  // The reader's side of the stream.
  bool HasFrame() const { return reads_.HasFrame(); }
  DeliveredFrame FrontFrame() const { return reads_.Front(); }
  void ReleaseFrame() { reads_.PopFront(); }

  void* DeviceContext() { return deviceContext_.get(); }
  const IsochronousCounters& Counters() const { return counters_; }

 private:
  struct FreeDeleter {
    void operator()(void* memory) const;
  };

  void OpenFrame();
  void CloseFrame();
  void CopyIntoRawFrame(std::span<const uint8_t> bytes);

  const USBCAMD_DEVICE_DATA& routines_;
  uint32_t frameContextSize_;
  DEVICE_OBJECT busDevice_;
  std::unique_ptr<void, FreeDeleter> deviceContext_;
  USBD_INTERFACE_INFORMATION interface_;
  USB_CONFIGURATION_DESCRIPTOR configuration_;
  KS_DATAFORMAT_VIDEOINFOHEADER format_;
  bool started_ = false;
  bool streaming_ = false;

  std::vector<uint8_t> raw_;  // the raw frame buffer
  uint32_t rawBytes_ = 0;
  uint32_t rawPackets_ = 0;
  ReadQueue reads_;
  ReadQueue::Slot* frame_ = nullptr;  // the read the open raw frame goes to
  IsochronousCounters counters_;
};

}  // namespace ksv::platform::usbcamd
