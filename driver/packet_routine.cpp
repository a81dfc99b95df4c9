// The packet routine runs in the class driver's isochronous completion path
// at dispatch level: it only counts, compares and flags, takes no lock and
// allocates nothing.
#include <limits>

#include "driver/button_work_item.h"
#include "driver/current_time.h"
#include "driver/frame_assembly.h"
#include "driver/frame_tag.h"
#include "driver/module_state.h"
#include "driver/routines.h"

namespace ksv::driver {
namespace {

// What the class driver finds in the descriptor of a zero-length packet
// that arrived with success.
constexpr platform::usbcamd::USBD_STATUS kZeroLengthPacketStatus = 9;

constexpr uint8_t kStatusSnapshotButton = 0x20;
constexpr uint8_t kStatusModeBit = 0x10;
constexpr uint8_t kSequenceWrap = 0xFF;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  uint64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<uint64_t>::max() : product;
}

// Delivers at most one frame per FrameInterval, on a grid of the interval
// from the stream's start. A start up to a quarter of an interval before
// NextFrameDue takes that slot: the camera's frames come whole 1-ms bus
// frames apart, and on a real clock the bus is woken late by varying
// amounts, so frames at the camera's own rate land a little either side of
// their grid line. An earlier start is skipped, so the due time, which
// moves on one interval per frame delivered, keeps the rate. A late start
// moves the due time on by whole intervals until it lies past now, so it
// never falls behind the clock. The number of intervals is computed, not
// looped over: a long gap in the packets (or a hostile recording) costs one
// division.
void PaceFrame(CameraDeviceExtension& extension, uint64_t now) {
  const uint64_t interval = extension.FrameInterval;
  if (interval == 0) {  // no pacing asked for
    extension.SkipFrame = 0;
    return;
  }
  if (now < extension.NextFrameDue) {
    if (extension.NextFrameDue - now > interval / 4) {
      ++extension.FramesDropped;
      extension.SkipFrame = 1;
      return;
    }
    extension.SkipFrame = 0;
    extension.NextFrameDue = SaturatingAdd(extension.NextFrameDue, interval);
    return;
  }
  extension.SkipFrame = 0;
  const uint64_t intervals = (now - extension.NextFrameDue) / interval + 1;
  extension.NextFrameDue =
      SaturatingAdd(extension.NextFrameDue, SaturatingMultiply(intervals, interval));
}

// The camera reports its button and mode in every frame-start packet.
void TakeStatusByte(CameraDeviceExtension& extension, uint8_t status) {
  const uint8_t previous = SharedLoad(extension.LastStatusByte);
  if (status == previous) return;
  if (status & kStatusSnapshotButton) SharedStore(extension.ButtonSnapshotRequest, uint32_t{1});
  if ((status ^ previous) & kStatusModeBit) {
    SharedStore(extension.ModeIndicator, (status & kStatusModeBit) ? 0u : 1u);
  }
  SharedStore(extension.LastStatusByte, status);
  QueueButtonWrite(extension);  // after the store: the write publishes the new byte
}

uint32_t OnFrameStart(CameraDeviceExtension& extension, const uint8_t* packet,
                      void* frameContext, bool* frameComplete) {
  extension.ExpectedSequence = 0;
  if (frameContext != nullptr) {
    // While the previous start was skipped, no frame was closed: the context
    // still belongs to the raw frame that was open then, which already got
    // its damage mark from its own packets. The errors since were in skipped
    // packets, which were never copied, so they must not mark it.
    const bool previousStartSkipped = extension.SkipFrame != 0;
    ++extension.FrameCounter;
    ++extension.FramesSeen;
    PaceFrame(extension, CurrentTime100ns());
    const bool damaged = previousStartSkipped ? FrameTag::Read(frameContext).damaged
                                              : extension.PacketErrors > 0;
    FrameTag{static_cast<uint16_t>(extension.FrameCounter), damaged}.Write(frameContext);
  }
  extension.PacketErrors = 0;
  // A delivered start closes the frame before it; the class driver completes it.
  if (extension.SkipFrame == 0) *frameComplete = true;
  TakeStatusByte(extension, packet[kPacketStatusOffset]);
  return extension.SkipFrame != 0 ? 0 : extension.MaximumPacketSize;
}

uint32_t OnDataPacket(CameraDeviceExtension& extension, uint8_t sequence) {
  if (sequence == kFillerPacketMarker) return 0;
  if (sequence == extension.ExpectedSequence) {
    ++extension.ExpectedSequence;
  } else {
    ++extension.PacketErrors;  // the expectation is not resynchronised
  }
  if (extension.ExpectedSequence == kSequenceWrap) extension.ExpectedSequence = 0;
  return extension.SkipFrame != 0 ? 0 : extension.MaximumPacketSize;
}

}  // namespace

uint32_t CamProcessUSBPacket(DEVICE_OBJECT*, void* deviceContext, void* currentFrameContext,
                             USBD_ISO_PACKET_DESCRIPTOR*, void*,
                             USBD_ISO_PACKET_DESCRIPTOR* dataPacket, void* dataBuffer,
                             bool* frameComplete, bool* nextFrameIsStill) {
  *nextFrameIsStill = false;
  if (!IsActiveCamera(deviceContext)) return 0;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (dataPacket->Status < 0) {
    ++extension.PacketErrors;
    return 0;
  }
  if (dataPacket->Length != extension.MaximumPacketSize || dataPacket->Status != 0) {
    if (dataPacket->Length == 0) {
      dataPacket->Status = kZeroLengthPacketStatus;  // not an error
    } else {
      ++extension.PacketErrors;
    }
    return 0;
  }
  // Without allocated bandwidth there is no packet size to read against.
  if (extension.MaximumPacketSize < kMinimumPacketSize) return 0;
  const auto* packet = static_cast<const uint8_t*>(dataBuffer);
  if (IsFrameStartPacket(packet)) {
    return OnFrameStart(extension, packet, currentFrameContext, frameComplete);
  }
  return OnDataPacket(extension, packet[0]);
}

void CamNewVideoFrame(void*, void*) {}

}  // namespace ksv::driver
