// The camera's device extension: what the driver keeps per camera in the
// device context the class driver allocates and zero-fills. Every field is
// valid when all its bytes are zero, so the extension needs no construction.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "codec/decoder.h"
#include "driver/camera_settings.h"
#include "platform/kernel/event.h"
#include "platform/kernel/work_item.h"
#include "platform/usbcamd/ks_format.h"
#include "platform/usbcamd/usb_types.h"

namespace ksv::driver {

// The device context size the driver registers; the extension must fit.
inline constexpr uint32_t kDeviceContextSize = 752;

// Buffers allocated once at device start.
inline constexpr uint32_t kAssemblyBufferSize = 116236;
inline constexpr uint32_t kLastGoodFrameSize = 320 * 240 * 3;
inline constexpr uint32_t kSnapshotBufferSize = 0x38800;
inline constexpr uint32_t kQuantTableCopySize = 512;

struct CameraDeviceExtension {
  // Configuration and state.
  uint32_t ConfiguredMarker;
  platform::usbcamd::USBD_INTERFACE_INFORMATION* InterfaceCopy;  // pool, tag "Wdm "
  uint32_t StateNumber;  // the "DriverStatus" value; read by the button thread
  int32_t LastError;     // status of the last failed vendor request
  int16_t PreviousSizeClass;     // -1 at start
  uint16_t CompressionLevel;     // for the camera's engine, always 3
  uint32_t PreviousCompression;  // 0xFFFFFFFF at start
  uint16_t BandwidthBitsPerPixel;
  uint8_t Suspended;     // powered down
  uint8_t StreamOpen;
  uint32_t PowerState;   // DEVICE_POWER_STATE
  uint32_t OpenWidth;
  uint32_t OpenHeight;
  void* ClassDeviceExtension;  // remembered at the stream information request

  // The open stream's format, taken at bandwidth allocation.
  platform::usbcamd::KS_DATAFORMAT_VIDEOINFOHEADER SavedFormat;
  uint16_t SizeClass;         // 0: 160-wide decode, 1: 320-wide decode
  uint32_t CompressionCode;   // biCompression: "I420", "IYUV", 0 (24-bit) or "KXJS"
  uint32_t OutputWidth;
  uint32_t OutputHeight;
  uint16_t BitCount;
  uint32_t DecodeWidth;       // 160 x 128 or 320 x 240
  uint32_t DecodeHeight;
  uint16_t MaximumPacketSize; // of the data pipe; every usable packet has this length
  uint8_t BandwidthAllocated;
  uint32_t CaptureStartCount;

  // Streaming state, touched per packet and per frame.
  uint32_t FrameCounter;    // frame starts seen with a frame context, since allocation
  uint32_t FramesSeen;      // the same, since the stream was last set to run
  uint32_t FramesDropped;   // frame starts skipped by pacing
  uint32_t PacketErrors;    // damaged packets since the last frame start
  uint8_t ExpectedSequence; // next data-packet sequence number, 0..254
  uint8_t SkipFrame;        // the frame now arriving is dropped by pacing
  uint64_t NextFrameDue;    // 100-ns units
  uint64_t FrameInterval;   // 100-ns units; 0 streams without pacing

  // Shared with other threads (work item, property handler, button thread):
  // read and written through the Shared* helpers below.
  uint8_t LastStatusByte;
  uint32_t ModeIndicator;  // 1 while the status byte's mode bit (0x10) is clear
  uint32_t ButtonSnapshotRequest;
  uint32_t RegistrySnapshotRequest;
  uint32_t WaitingSnapshotRequest;
  uint32_t SnapshotWritten;  // a button or registry snapshot was written
  uint32_t ButtonWriteQueued;  // the "Button" work item is queued and has not run

  // What the frame path did with frames it could not decode or pass whole.
  uint32_t DecodeFailures;
  uint32_t OversizedFrames;
  // Set once a frame of the current stream decoded: until then LastGoodFrame
  // holds a picture of an earlier stream, which never stands in for this one.
  uint8_t StreamHasGoodFrame;
  // LastGoodFrame is decoded only when a frame has to repeat it: each good
  // frame leaves its compressed bytes in LastGoodEncoded (a few kilobytes)
  // with the decoder settings it was decoded with, instead of a copy of the
  // whole picture per frame.
  uint8_t LastGoodFramePending;
  uint32_t LastGoodEncodedLength;
  codec::DecoderContext LastGoodContext;
  uint32_t TruncatedPassThroughFrames;

  // Picture controls reported in pass-through frames.
  uint16_t ContrastSetting;  // 0..31
  CameraSettings Settings;
  FirmwareParameters Firmware;

  // Buffers.
  uint8_t* QuantTableCopy;
  uint8_t* SnapshotBuffer;
  uint8_t* LastGoodFrame;
  uint8_t* LastGoodEncoded;  // kAssemblyBufferSize bytes
  uint8_t* AssemblyBuffer;
  codec::DecoderContext DecoderContext;
  uint8_t HoldsDecoder;  // counted as a started camera of the shared decoder
  platform::kernel::IO_WORKITEM* ButtonWorkItem;

  // Device names and the button thread.
  uint8_t OwnsSymbolicLink;
  char* InterfaceName;  // pool memory from the interface registration
  platform::kernel::HANDLE ButtonThread;
  platform::kernel::KEVENT ButtonThreadExit;  // the thread signals it as it ends
  platform::kernel::KEVENT ButtonThreadStop;  // asks the thread to end now
  platform::kernel::KEVENT SnapshotWrittenEvent;
};

static_assert(std::is_aggregate_v<CameraDeviceExtension> &&
                  std::is_trivially_destructible_v<CameraDeviceExtension>,
              "the class driver creates the extension by zero-filling memory");
static_assert(sizeof(CameraDeviceExtension) <= kDeviceContextSize);

inline CameraDeviceExtension& ExtensionOf(void* deviceContext) {
  return *static_cast<CameraDeviceExtension*>(deviceContext);
}

// Plain fields that other threads read or write: atomic access without
// giving the zero-filled extension a constructor.
template <class T>
T SharedLoad(const T& field) {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_acquire);
}
template <class T>
void SharedStore(T& field, T value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_release);
}
template <class T>
T SharedExchange(T& field, T value) {
  return std::atomic_ref<T>(field).exchange(value, std::memory_order_acq_rel);
}

}  // namespace ksv::driver
