#include "platform/usbcamd/camera.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace ksv::platform::usbcamd {
namespace {

using kernel::NT_SUCCESS;
using kernel::STATUS_INSUFFICIENT_RESOURCES;
using kernel::STATUS_INVALID_PARAMETER;
using kernel::STATUS_SUCCESS;
using kernel::STATUS_UNSUCCESSFUL;

// Far above any picture the camera streams; a larger request is a bad format.
constexpr uint32_t kMaxBufferBytes = 16u << 20;
constexpr uint32_t kMaxReadBuffers = 64;

uint32_t SampleSize(const KS_DATAFORMAT_VIDEOINFOHEADER& format) {
  const uint32_t image = format.VideoInfoHeader.bmiHeader.biSizeImage;
  return image != 0 ? image : format.DataFormat.SampleSize;
}

}  // namespace

void UsbCamdCamera::FreeDeleter::operator()(void* memory) const { std::free(memory); }

UsbCamdCamera::UsbCamdCamera(ClassDriver& classDriver, uint16_t maximumPacketSize)
    : routines_(classDriver.DeviceData()), frameContextSize_(classDriver.FrameContextSize()) {
  if (!classDriver.IsRegistered()) {
    throw std::invalid_argument("no minidriver is registered with the class driver");
  }
  deviceContext_.reset(std::calloc(1, classDriver.DeviceContextSize()));
  if (!deviceContext_) throw std::bad_alloc();
  interface_.Pipes[0].MaximumPacketSize = maximumPacketSize;
}

UsbCamdCamera::~UsbCamdCamera() {
  if (streaming_) CloseStream();
  if (started_) Stop();
}

NTSTATUS UsbCamdCamera::Start() {
  if (started_) return STATUS_SUCCESS;
  int32_t dataPipe = -1;
  int32_t syncPipe = -1;
  NTSTATUS status = routines_.CamConfigure(&busDevice_, DeviceContext(), &interface_,
                                           &configuration_, &dataPipe, &syncPipe);
  if (!NT_SUCCESS(status)) return status;
  // The camera has one pipe, the video data pipe, and no sync pipe.
  status = dataPipe != 0 || syncPipe != -1
               ? STATUS_INVALID_PARAMETER
               : routines_.CamInitialize(&busDevice_, DeviceContext());
  started_ = NT_SUCCESS(status);
  // What configuration took is given back whichever step failed.
  if (!started_) routines_.CamUnInitialize(&busDevice_, DeviceContext());
  return status;
}

NTSTATUS UsbCamdCamera::OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format,
                                   uint32_t readBuffers) {
  if (!started_ || streaming_) return STATUS_UNSUCCESSFUL;
  const uint32_t sampleSize = SampleSize(format);
  if (sampleSize == 0 || sampleSize > kMaxBufferBytes || readBuffers == 0 ||
      readBuffers > kMaxReadBuffers) {
    return STATUS_INVALID_PARAMETER;
  }
  format_ = format;
  uint32_t rawFrameLength = 0;
  NTSTATUS status =
      routines_.CamAllocateBandwidth(&busDevice_, DeviceContext(), &rawFrameLength, &format_);
  if (!NT_SUCCESS(status)) return status;
  if (rawFrameLength == 0 || rawFrameLength > kMaxBufferBytes) {
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return STATUS_UNSUCCESSFUL;
  }
  try {
    raw_.assign(rawFrameLength, 0);
    reads_.Allocate(readBuffers, sampleSize, frameContextSize_);
  } catch (const std::bad_alloc&) {
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  status = routines_.CamStartCapture(&busDevice_, DeviceContext());
  if (!NT_SUCCESS(status)) {
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return status;
  }
  counters_ = {};
  streaming_ = true;
  frame_ = nullptr;
  OpenFrame();
  return STATUS_SUCCESS;
}

NTSTATUS UsbCamdCamera::CloseStream() {
  if (!streaming_) return STATUS_SUCCESS;
  streaming_ = false;
  frame_ = nullptr;
  routines_.CamStopCapture(&busDevice_, DeviceContext());
  const NTSTATUS status = routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
  raw_.clear();
  raw_.shrink_to_fit();
  reads_.Release();
  return status;
}

NTSTATUS UsbCamdCamera::Stop() {
  if (streaming_) CloseStream();
  if (!started_) return STATUS_SUCCESS;
  started_ = false;
  return routines_.CamUnInitialize(&busDevice_, DeviceContext());
}

USBD_STATUS UsbCamdCamera::ReceivePacket(USBD_STATUS status, std::span<uint8_t> bytes) {
  if (!streaming_) return status;
  ++counters_.packets;
  USBD_ISO_PACKET_DESCRIPTOR descriptor;
  descriptor.Length = static_cast<uint32_t>(std::min<size_t>(bytes.size(), UINT32_MAX));
  descriptor.Status = status;
  bool frameComplete = false;
  bool nextFrameIsStill = false;
  void* frameContext = frame_ != nullptr ? frame_->context.data() : nullptr;
  const uint32_t accepted = routines_.CamProcessUSBPacket(
      &busDevice_, DeviceContext(), frameContext, nullptr, nullptr, &descriptor, bytes.data(),
      &frameComplete, &nextFrameIsStill);
  if (frameComplete) {
    CloseFrame();
    OpenFrame();
  }
  if (accepted > 0) CopyIntoRawFrame(bytes.first(std::min<size_t>(accepted, bytes.size())));
  return descriptor.Status;
}

// A frame opens at stream start and at each frame boundary, never in the
// middle of the camera's frame.
void UsbCamdCamera::OpenFrame() {
  rawBytes_ = 0;
  rawPackets_ = 0;
  frame_ = reads_.ClaimFree();
  if (frame_ == nullptr) {
    ++counters_.framesWithoutReader;
    return;
  }
  routines_.CamNewVideoFrame(DeviceContext(), frame_->context.data());
}

void UsbCamdCamera::CloseFrame() {
  if (frame_ == nullptr) return;
  if (rawPackets_ == 0) {
    ++counters_.emptyFrames;  // nothing to deliver; OpenFrame reuses the buffer
    return;
  }
  uint32_t bytesReturned = 0;
  const NTSTATUS status = routines_.CamProcessRawVideoFrame(
      &busDevice_, DeviceContext(), frame_->context.data(), frame_->buffer.data(),
      static_cast<uint32_t>(frame_->buffer.size()), raw_.data(), rawBytes_, rawPackets_,
      &bytesReturned);
  reads_.Complete(NT_SUCCESS(status) ? bytesReturned : 0, status);
  ++counters_.framesCompleted;
  frame_ = nullptr;
}

void UsbCamdCamera::CopyIntoRawFrame(std::span<const uint8_t> bytes) {
  if (frame_ == nullptr) return;  // no read buffer: the frame is not being kept
  if (bytes.size() > raw_.size() - rawBytes_) {
    ++counters_.packetsOverflowed;  // never written past the raw frame buffer
    return;
  }
  std::memcpy(raw_.data() + rawBytes_, bytes.data(), bytes.size());
  rawBytes_ += static_cast<uint32_t>(bytes.size());
  ++rawPackets_;
}

}  // namespace ksv::platform::usbcamd
