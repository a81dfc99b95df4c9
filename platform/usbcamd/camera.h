// One camera as the USB camera class driver serves it: its device context,
// its life as stream class requests (start, stream information, open, run,
// stop, close, power, removal, uninitialise) and the isochronous path. Each
// request goes to the minidriver's adapter request routine when it has one,
// and the class driver does its part in USBCAMD_AdapterReceivePacket; stream
// requests go to the stream's control hook first.
//
// Each received packet goes to the minidriver's packet routine; the bytes it
// accepts are copied into the current raw frame; a frame-complete answer
// closes that raw frame, hands it to the raw-frame routine with a read
// buffer of the open format, and opens the next. Finished frames wait in the
// read queue for the stream's reader. Raw frames are processed on the
// caller's thread as soon as they close, so a replay runs the same way every
// time. Nothing is allocated per packet or per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/usbcamd/class_driver.h"
#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/read_queue.h"
#include "platform/usbcamd/stream_class.h"
#include "platform/usbcamd/usb_device.h"
#include "platform/usbcamd/zeroed_buffer.h"

namespace ksv::platform::usbcamd {

// What happened on the isochronous path since the stream opened.
struct IsochronousCounters {
  uint64_t packets = 0;
  uint64_t framesCompleted = 0;      // raw frames given to the raw-frame routine
  uint64_t emptyFrames = 0;          // closed without a byte; their buffer is reused
  uint64_t framesWithoutReader = 0;  // frames lost because every read buffer was full
  uint64_t packetsOverflowed = 0;    // accepted bytes that did not fit the raw frame
};

class UsbCamdCamera;

// The class driver's device extension, what requests carry as
// HwDeviceExtension.
struct UsbCamdDeviceExtension {
  UsbCamdCamera* camera = nullptr;
  void* deviceContext = nullptr;
};

class UsbCamdCamera {
 public:
  // A camera whose data pipe starts with `maximumPacketSize` and, when
  // `device` is given, with that USB device plugged in (vendor requests and
  // alternate settings reach it). The minidriver must be registered with
  // `classDriver` (std::invalid_argument otherwise).
  UsbCamdCamera(ClassDriver& classDriver, uint16_t maximumPacketSize,
                UsbDevice* device = nullptr);
  ~UsbCamdCamera();  // closes the stream and stops the device if needed
  UsbCamdCamera(const UsbCamdCamera&) = delete;
  UsbCamdCamera& operator=(const UsbCamdCamera&) = delete;

  // Configures (data pipe 0, no sync pipe) and initialises the device.
  NTSTATUS Start();
  // Asks for the stream header and stream descriptions.
  NTSTATUS GetStreamInfo(HW_STREAM_DESCRIPTOR& descriptor);
  // Opens the stream in `format`, allocates bandwidth, the raw frame buffer
  // and `readBuffers` read buffers of the format's sample size, and sets the
  // stream running.
  NTSTATUS OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format, uint32_t readBuffers = 4);
  // Stops the stream (capture stop, bandwidth release) and closes it;
  // frames the reader has not taken are discarded. Returns the first failure.
  NTSTATUS CloseStream();
  // Uninitialises the device.
  NTSTATUS Stop();
  NTSTATUS ChangePowerState(DEVICE_POWER_STATE state);
  // The camera is pulled out: the stream gets no more packets and the USB
  // device is gone; the stream and device stay to be closed and stopped.
  NTSTATUS SurpriseRemoval();

  // Sends any device request (its HwDeviceExtension is filled in), or a
  // stream request to the open stream. Returns the request's status.
  NTSTATUS SendDeviceRequest(HW_STREAM_REQUEST_BLOCK& srb);
  NTSTATUS SendStreamRequest(HW_STREAM_REQUEST_BLOCK& srb);

  // One isochronous packet as received: descriptor status and the bytes
  // (their count is the descriptor length). Returns the descriptor status as
  // the minidriver left it. Ignored while no stream runs.
  USBD_STATUS ReceivePacket(USBD_STATUS status, std::span<uint8_t> bytes);
  // One 1-ms bus frame: the plugged-in device sends its next packet on the
  // data pipe and the camera receives it. Nothing without a device.
  void RunBusFrame();

  // The reader's side of the stream.
  bool HasFrame() const { return reads_.HasFrame(); }
  size_t WaitingFrames() const { return reads_.WaitingFrames(); }
  DeliveredFrame FrontFrame() const { return reads_.Front(); }
  void ReleaseFrame() { reads_.PopFront(); }
  // The buffer of a reader waiting for a frame: the next frame that
  // completes while no other waits is processed straight into it (when it
  // holds a read buffer's bytes) instead of a read buffer, and FrontFrame
  // shows it there. Used once; take it back (or reclaim it, below) before
  // the reader lets go of the buffer.
  void LendReadBuffer(std::span<uint8_t> buffer) { lent_ = buffer; }
  void TakeBackReadBuffer() { lent_ = {}; }
  // For a reader that leaves without the frame that went into its buffer:
  // the frame moves into a read buffer and waits there, whole, for the
  // next reader.
  void ReclaimReadBuffer(std::span<const uint8_t> buffer) {
    lent_ = {};
    reads_.Reclaim(buffer.data());
  }
  // True while the running stream's next frame boundary would find no free
  // read buffer, so that the frame after it would be lost: every buffer
  // holds a frame the reader has not taken, or all but the one the open
  // raw frame goes to.
  bool ReadBuffersFull() const {
    return running_ && reads_.WaitingFrames() + (frame_ != nullptr ? 1 : 0) >= reads_.Count();
  }

  void* DeviceContext() { return deviceContext_.get(); }
  bool IsRunning() const { return running_; }
  bool IsRemoved() const { return removed_; }
  const IsochronousCounters& Counters() const { return counters_; }

 private:
  friend void* USBCAMD_AdapterReceivePacket(HW_STREAM_REQUEST_BLOCK*, const USBCAMD_DEVICE_DATA*,
                                            DEVICE_OBJECT**, bool);
  struct FreeDeleter {
    void operator()(void* memory) const;
  };

  void ProcessDeviceRequest(HW_STREAM_REQUEST_BLOCK& srb);
  void ProcessStreamRequest(HW_STREAM_REQUEST_BLOCK& srb);
  NTSTATUS Initialize();
  NTSTATUS OpenStreamBuffers(const KS_DATAFORMAT_VIDEOINFOHEADER& format);
  NTSTATUS Prepare();
  NTSTATUS Run();
  NTSTATUS Halt();
  // A closed stream keeps its buffers for the next stream to renew in place
  // where they are large enough; the device's uninitialisation frees them.
  void ReleaseStream(bool freeBuffers);
  NTSTATUS SetStreamState(KSSTATE state);

  void OpenFrame();
  void CloseFrame();
  void CopyIntoRawFrame(std::span<const uint8_t> bytes);

  const USBCAMD_DEVICE_DATA& routines_;
  PHW_RECEIVE_DEVICE_SRB adapter_;
  uint32_t frameContextSize_;
  DEVICE_OBJECT busDevice_;
  std::unique_ptr<void, FreeDeleter> deviceContext_;
  UsbCamdDeviceExtension extension_;
  UsbDevice* device_;
  USBD_INTERFACE_INFORMATION interface_;
  USB_CONFIGURATION_DESCRIPTOR configuration_;
  KS_DATAFORMAT_VIDEOINFOHEADER format_;
  HW_STREAM_OBJECT stream_;
  uint32_t readBuffers_ = 4;
  bool started_ = false;
  bool streamOpen_ = false;
  bool prepared_ = false;  // bandwidth and buffers held
  bool running_ = false;   // capture started: packets are taken
  bool removed_ = false;
  bool runBeforePowerDown_ = false;

  ZeroedBuffer raw_;  // the raw frame buffer
  uint32_t rawBytes_ = 0;
  uint32_t rawPackets_ = 0;
  ReadQueue reads_;
  ReadQueue::Slot* frame_ = nullptr;  // the read the open raw frame goes to
  std::span<uint8_t> lent_;           // see LendReadBuffer
  IsochronousCounters counters_;
};

}  // namespace ksv::platform::usbcamd
