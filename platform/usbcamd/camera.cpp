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
using kernel::STATUS_NOT_IMPLEMENTED;
using kernel::STATUS_SUCCESS;
using kernel::STATUS_UNSUCCESSFUL;

// Far above any picture the camera streams; a larger request is a bad format.
constexpr uint32_t kMaxBufferBytes = 16u << 20;
constexpr uint32_t kMaxReadBuffers = 64;

uint32_t SampleSize(const KS_DATAFORMAT_VIDEOINFOHEADER& format) {
  const uint32_t image = format.VideoInfoHeader.bmiHeader.biSizeImage;
  return image != 0 ? image : format.DataFormat.SampleSize;
}

NTSTATUS FirstFailure(NTSTATUS first, NTSTATUS second) {
  return NT_SUCCESS(first) ? second : first;
}

}  // namespace

void UsbCamdCamera::FreeDeleter::operator()(void* memory) const { std::free(memory); }

UsbCamdCamera::UsbCamdCamera(ClassDriver& classDriver, uint16_t maximumPacketSize,
                             UsbDevice* device)
    : routines_(classDriver.DeviceData()),
      adapter_(classDriver.AdapterReceivePacket()),
      frameContextSize_(classDriver.FrameContextSize()),
      device_(device) {
  if (!classDriver.IsRegistered()) {
    throw std::invalid_argument("no minidriver is registered with the class driver");
  }
  deviceContext_.reset(std::calloc(1, classDriver.DeviceContextSize()));
  if (!deviceContext_) throw std::bad_alloc();
  interface_.Pipes[0].MaximumPacketSize = maximumPacketSize;
  extension_ = {this, deviceContext_.get()};
  busDevice_.DeviceExtension = &extension_;
  if (device_ != nullptr) AttachUsbDevice(DeviceContext(), device_);
}

UsbCamdCamera::~UsbCamdCamera() {
  if (streamOpen_) CloseStream();
  if (started_) Stop();
  AttachUsbDevice(DeviceContext(), nullptr);
}

NTSTATUS UsbCamdCamera::SendDeviceRequest(HW_STREAM_REQUEST_BLOCK& srb) {
  srb.HwDeviceExtension = &extension_;
  if (srb.StreamObject == nullptr) srb.StreamObject = &stream_;
  srb.Completed = false;
  if (adapter_ != nullptr) {
    adapter_(&srb);
  } else {
    USBCAMD_AdapterReceivePacket(&srb, &routines_, nullptr, true);
  }
  return srb.Status;
}

NTSTATUS UsbCamdCamera::SendStreamRequest(HW_STREAM_REQUEST_BLOCK& srb) {
  if (!streamOpen_) return STATUS_UNSUCCESSFUL;
  srb.HwDeviceExtension = &extension_;
  srb.StreamObject = &stream_;
  srb.Completed = false;
  bool completed = false;
  if (stream_.ControlHook != nullptr) stream_.ControlHook(&srb, DeviceContext(), &completed);
  if (!completed) ProcessStreamRequest(srb);
  return srb.Status;
}

void* USBCAMD_AdapterReceivePacket(HW_STREAM_REQUEST_BLOCK* srb, const USBCAMD_DEVICE_DATA*,
                                   DEVICE_OBJECT** deviceObject, bool needsCompletion) {
  auto* extension = srb != nullptr ? static_cast<UsbCamdDeviceExtension*>(srb->HwDeviceExtension)
                                   : nullptr;
  if (extension == nullptr || extension->camera == nullptr) {
    if (srb != nullptr) {
      srb->Status = STATUS_INVALID_PARAMETER;
      srb->Completed = true;
    }
    return nullptr;
  }
  if (deviceObject != nullptr) *deviceObject = &extension->camera->busDevice_;
  extension->camera->ProcessDeviceRequest(*srb);
  if (needsCompletion) srb->Completed = true;
  return extension->deviceContext;
}

void* USBCAMD_GET_DEVICE_CONTEXT(void* hwDeviceExtension) {
  auto* extension = static_cast<UsbCamdDeviceExtension*>(hwDeviceExtension);
  return extension != nullptr ? extension->deviceContext : nullptr;
}

void UsbCamdCamera::ProcessDeviceRequest(HW_STREAM_REQUEST_BLOCK& srb) {
  switch (srb.Command) {
    case SRB_INITIALIZE_DEVICE:
      srb.Status = Initialize();
      return;
    case SRB_GET_STREAM_INFO:  // the minidriver fills the descriptor
      srb.Status = STATUS_SUCCESS;
      return;
    case SRB_OPEN_STREAM: {
      const KSDATAFORMAT* format = srb.CommandData.OpenFormat;
      if (!started_ || streamOpen_) {
        srb.Status = STATUS_UNSUCCESSFUL;
      } else if (format == nullptr || format->FormatSize < sizeof format_) {
        srb.Status = STATUS_INVALID_PARAMETER;
      } else {
        std::memcpy(static_cast<void*>(&format_), format, sizeof format_);
        streamOpen_ = true;
        srb.Status = STATUS_SUCCESS;
      }
      return;
    }
    case SRB_CLOSE_STREAM:
      srb.Status = Halt();
      ReleaseStream(false);
      streamOpen_ = false;
      stream_ = HW_STREAM_OBJECT{};
      return;
    case SRB_CHANGE_POWER_STATE: {
      const DEVICE_POWER_STATE state = srb.CommandData.DeviceState;
      if (state == PowerDeviceD0) {
        srb.Status = routines_.CamRestoreState(&busDevice_, DeviceContext());
        // A stream that ran before the power went down runs again.
        if (runBeforePowerDown_ && prepared_ && streamOpen_ && !removed_) {
          srb.Status = FirstFailure(srb.Status, Run());
        }
        runBeforePowerDown_ = false;
      } else {
        if (running_) runBeforePowerDown_ = true;
        running_ = false;
        srb.Status = routines_.CamSaveState(&busDevice_, DeviceContext());
      }
      return;
    }
    case SRB_UNINITIALIZE_DEVICE:
      if (streamOpen_) {
        Halt();
        streamOpen_ = false;
      }
      ReleaseStream(true);
      srb.Status = STATUS_SUCCESS;
      if (started_) {
        started_ = false;
        srb.Status = routines_.CamUnInitialize(&busDevice_, DeviceContext());
      }
      return;
    case SRB_SURPRISE_REMOVAL:
      removed_ = true;
      running_ = false;
      AttachUsbDevice(DeviceContext(), nullptr);
      srb.Status = STATUS_SUCCESS;
      return;
    default:
      srb.Status = STATUS_NOT_IMPLEMENTED;
      return;
  }
}

void UsbCamdCamera::ProcessStreamRequest(HW_STREAM_REQUEST_BLOCK& srb) {
  switch (srb.Command) {
    case SRB_SET_STREAM_STATE: {
      // A status the stream's hook set stays unless this step fails.
      const NTSTATUS status = SetStreamState(srb.CommandData.StreamState);
      if (!NT_SUCCESS(status)) srb.Status = status;
      return;
    }
    case SRB_PROPOSE_DATA_FORMAT:
    case SRB_SET_DATA_FORMAT:
      return;
    default:
      srb.Status = STATUS_NOT_IMPLEMENTED;
      return;
  }
}

NTSTATUS UsbCamdCamera::Initialize() {
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

NTSTATUS UsbCamdCamera::SetStreamState(KSSTATE state) {
  if (state == KSSTATE_STOP) return Halt();
  if (!prepared_) {
    const NTSTATUS status = Prepare();
    if (!NT_SUCCESS(status)) return status;
  }
  if (state == KSSTATE_RUN) return running_ ? STATUS_SUCCESS : Run();
  if (running_) {
    running_ = false;
    return routines_.CamStopCapture(&busDevice_, DeviceContext());
  }
  return STATUS_SUCCESS;
}

NTSTATUS UsbCamdCamera::Prepare() {
  uint32_t rawFrameLength = 0;
  NTSTATUS status =
      routines_.CamAllocateBandwidth(&busDevice_, DeviceContext(), &rawFrameLength, &format_);
  if (!NT_SUCCESS(status)) {
    // The minidriver may have taken a setting before it refused.
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return status;
  }
  if (rawFrameLength == 0 || rawFrameLength > kMaxBufferBytes) {
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return STATUS_UNSUCCESSFUL;
  }
  try {
    raw_.Renew(rawFrameLength);
    reads_.Allocate(readBuffers_, SampleSize(format_), frameContextSize_);
  } catch (const std::bad_alloc&) {
    routines_.CamFreeBandwidth(&busDevice_, DeviceContext());
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  prepared_ = true;
  return STATUS_SUCCESS;
}

NTSTATUS UsbCamdCamera::Run() {
  const NTSTATUS status = routines_.CamStartCapture(&busDevice_, DeviceContext());
  if (!NT_SUCCESS(status)) return status;
  counters_ = {};
  running_ = true;
  frame_ = nullptr;
  rawBytes_ = 0;
  rawPackets_ = 0;
  OpenFrame();
  return STATUS_SUCCESS;
}

NTSTATUS UsbCamdCamera::Halt() {
  NTSTATUS status = STATUS_SUCCESS;
  if (running_) {
    running_ = false;
    status = routines_.CamStopCapture(&busDevice_, DeviceContext());
  }
  if (prepared_) {
    prepared_ = false;
    status = FirstFailure(status, routines_.CamFreeBandwidth(&busDevice_, DeviceContext()));
  }
  frame_ = nullptr;
  return status;
}

void UsbCamdCamera::ReleaseStream(bool freeBuffers) {
  lent_ = {};
  reads_.Release(freeBuffers);
  if (freeBuffers) raw_ = ZeroedBuffer();
}

NTSTATUS UsbCamdCamera::Start() {
  if (started_) return STATUS_SUCCESS;
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_INITIALIZE_DEVICE;
  return SendDeviceRequest(srb);
}

NTSTATUS UsbCamdCamera::GetStreamInfo(HW_STREAM_DESCRIPTOR& descriptor) {
  descriptor = HW_STREAM_DESCRIPTOR{};
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_GET_STREAM_INFO;
  srb.CommandData.StreamBuffer = &descriptor;
  srb.NumberOfBytesToTransfer = sizeof descriptor;
  return SendDeviceRequest(srb);
}

NTSTATUS UsbCamdCamera::OpenStream(const KS_DATAFORMAT_VIDEOINFOHEADER& format,
                                   uint32_t readBuffers) {
  if (!started_ || streamOpen_) return STATUS_UNSUCCESSFUL;
  const uint32_t sampleSize = SampleSize(format);
  if (sampleSize == 0 || sampleSize > kMaxBufferBytes || readBuffers == 0 ||
      readBuffers > kMaxReadBuffers) {
    return STATUS_INVALID_PARAMETER;
  }
  readBuffers_ = readBuffers;
  KS_DATAFORMAT_VIDEOINFOHEADER open = format;
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_OPEN_STREAM;
  srb.CommandData.OpenFormat = &open.DataFormat;
  NTSTATUS status = SendDeviceRequest(srb);
  if (!NT_SUCCESS(status)) return status;
  for (KSSTATE state : {KSSTATE_ACQUIRE, KSSTATE_PAUSE, KSSTATE_RUN}) {
    HW_STREAM_REQUEST_BLOCK change;
    change.Command = SRB_SET_STREAM_STATE;
    change.CommandData.StreamState = state;
    status = SendStreamRequest(change);
    if (!NT_SUCCESS(status)) {
      CloseStream();
      return status;
    }
  }
  return STATUS_SUCCESS;
}

NTSTATUS UsbCamdCamera::CloseStream() {
  if (!streamOpen_) return STATUS_SUCCESS;
  HW_STREAM_REQUEST_BLOCK stop;
  stop.Command = SRB_SET_STREAM_STATE;
  stop.CommandData.StreamState = KSSTATE_STOP;
  const NTSTATUS stopped = SendStreamRequest(stop);
  HW_STREAM_REQUEST_BLOCK close;
  close.Command = SRB_CLOSE_STREAM;
  const NTSTATUS closed = SendDeviceRequest(close);
  streamOpen_ = false;  // whatever the driver answered, the stream is gone
  return FirstFailure(stopped, closed);
}

NTSTATUS UsbCamdCamera::Stop() {
  if (streamOpen_) CloseStream();
  if (!started_) return STATUS_SUCCESS;
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_UNINITIALIZE_DEVICE;
  return SendDeviceRequest(srb);
}

NTSTATUS UsbCamdCamera::ChangePowerState(DEVICE_POWER_STATE state) {
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_CHANGE_POWER_STATE;
  srb.CommandData.DeviceState = state;
  return SendDeviceRequest(srb);
}

NTSTATUS UsbCamdCamera::SurpriseRemoval() {
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = SRB_SURPRISE_REMOVAL;
  return SendDeviceRequest(srb);
}

void UsbCamdCamera::RunBusFrame() {
  if (device_ == nullptr || removed_) return;
  const IsochronousPacket packet = device_->NextIsochronousPacket();
  ReceivePacket(packet.status, packet.bytes);
}

USBD_STATUS UsbCamdCamera::ReceivePacket(USBD_STATUS status, std::span<uint8_t> bytes) {
  if (!running_) return status;
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
  // The minidriver sees a read buffer's length either way.
  const size_t length = frame_->buffer.size();
  std::span<uint8_t> lent;
  if (lent_.size() >= length && !reads_.HasFrame()) lent = lent_.first(length);
  lent_ = {};
  uint8_t* output = lent.empty() ? frame_->buffer.data() : lent.data();
  uint32_t bytesReturned = 0;
  const NTSTATUS status = routines_.CamProcessRawVideoFrame(
      &busDevice_, DeviceContext(), frame_->context.data(), output,
      static_cast<uint32_t>(length), raw_.data(), rawBytes_, rawPackets_, &bytesReturned);
  reads_.Complete(NT_SUCCESS(status) ? bytesReturned : 0, status, lent);
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
