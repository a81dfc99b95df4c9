// Device start and stop, bandwidth and capture: the part of the camera's
// life the frame path depends on. The camera's vendor requests, the
// registry values and the stream's format negotiation are not handled here.
#include <algorithm>
#include <cstring>
#include <new>

#include "codec/quant_tables.h"
#include "driver/current_time.h"
#include "driver/frame_assembly.h"
#include "driver/module_state.h"
#include "driver/routines.h"

namespace ksv::driver {
namespace {

using platform::kernel::STATUS_DEVICE_DATA_ERROR;
using platform::kernel::STATUS_INSUFFICIENT_RESOURCES;
using platform::kernel::STATUS_INVALID_PARAMETER;
using platform::kernel::STATUS_NOT_SUPPORTED;
using platform::kernel::STATUS_SUCCESS;
using platform::usbcamd::KS_DATAFORMAT_VIDEOINFOHEADER;
using platform::usbcamd::USBD_INTERFACE_INFORMATION;

constexpr uint32_t kConfiguredMarker = 0x4B535631;  // "1VSK"
constexpr uint32_t kDataPipeMaximumTransferSize = 32768;
// The alternate settings of the camera's video interface.
constexpr uint16_t kSmallestPacketSize = 128;
constexpr uint16_t kLargestPacketSize = 1023;

uint8_t* AllocateZeroed(uint32_t bytes) { return new (std::nothrow) uint8_t[bytes](); }

void FreeBuffers(CameraDeviceExtension& extension) {
  for (uint8_t** buffer : {&extension.QuantTableCopy, &extension.SnapshotBuffer,
                           &extension.LastGoodFrame, &extension.AssemblyBuffer}) {
    delete[] *buffer;
    *buffer = nullptr;
  }
}

void FreeInterfaceCopy(CameraDeviceExtension& extension) {
  delete extension.InterfaceCopy;
  extension.InterfaceCopy = nullptr;
}

// The assembly buffer is zeroed too: a pass-through frame copies whole
// packets' worth of it, and no byte of it may be left from anything else.
bool AllocateBuffers(CameraDeviceExtension& extension) {
  extension.QuantTableCopy = AllocateZeroed(kQuantTableCopySize);
  extension.SnapshotBuffer = AllocateZeroed(kSnapshotBufferSize);
  extension.LastGoodFrame = AllocateZeroed(kLastGoodFrameSize);
  extension.AssemblyBuffer = AllocateZeroed(kAssemblyBufferSize);
  return extension.QuantTableCopy && extension.SnapshotBuffer && extension.LastGoodFrame &&
         extension.AssemblyBuffer;
}

struct StreamSize {
  uint16_t sizeClass;
  codec::FrameSize decode;
};

// The two output sizes the stream offers and the sizes they are decoded at.
bool StreamSizeFor(codec::FrameSize output, StreamSize& size) {
  if (output == codec::FrameSize{320, 240}) {
    size = {1, {320, 240}};
    return true;
  }
  if (output == codec::FrameSize{160, 120}) {
    size = {0, {160, 128}};  // centre-cropped to 160 x 120
    return true;
  }
  return false;
}

// Enough whole packets for the largest compressed frame of the decode size.
uint32_t RawFrameLengthFor(uint32_t packetSize, codec::FrameSize decode) {
  const uint32_t pictureBytes = 12 * decode.width * decode.height / 8;
  return packetSize * ((packetSize + pictureBytes + 13) / (packetSize - 1));
}

void ResetStreamingState(CameraDeviceExtension& extension) {
  extension.SkipFrame = 0;
  SharedStore(extension.ButtonSnapshotRequest, uint32_t{0});
  SharedStore(extension.RegistrySnapshotRequest, uint32_t{0});
  SharedStore(extension.WaitingSnapshotRequest, uint32_t{0});
  extension.NextFrameDue = CurrentTime100ns();
  extension.FrameCounter = 0;
  extension.FramesSeen = 0;
  extension.FramesDropped = 0;
  extension.PacketErrors = 0;
  extension.ExpectedSequence = 0;
  extension.DecodeFailures = 0;
  extension.OversizedFrames = 0;
  extension.TruncatedPassThroughFrames = 0;
}

}  // namespace

NTSTATUS CamConfigure(DEVICE_OBJECT*, void* deviceContext, USBD_INTERFACE_INFORMATION* interface,
                      platform::usbcamd::USB_CONFIGURATION_DESCRIPTOR*, int32_t* dataPipeIndex,
                      int32_t* syncPipeIndex) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (interface == nullptr) {  // the device is going away
    CamUnInitialize(nullptr, deviceContext);
    return STATUS_SUCCESS;
  }
  ActiveCamera.store(&extension, std::memory_order_release);
  extension.ConfiguredMarker = kConfiguredMarker;
  *dataPipeIndex = 0;
  *syncPipeIndex = -1;
  interface->AlternateSetting = 0;
  interface->Pipes[0].MaximumTransferSize = kDataPipeMaximumTransferSize;
  FreeInterfaceCopy(extension);
  extension.InterfaceCopy = new (std::nothrow) USBD_INTERFACE_INFORMATION(*interface);
  return extension.InterfaceCopy != nullptr ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

NTSTATUS CamInitialize(DEVICE_OBJECT* busDeviceObject, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (extension.AssemblyBuffer != nullptr) return STATUS_SUCCESS;  // already started
  extension.ButtonWorkItem = platform::kernel::IoAllocateWorkItem(busDeviceObject);
  if (!AllocateBuffers(extension) || extension.ButtonWorkItem == nullptr) {
    FreeBuffers(extension);
    FreeInterfaceCopy(extension);
    platform::kernel::IoFreeWorkItem(extension.ButtonWorkItem);
    extension.ButtonWorkItem = nullptr;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  const auto tables = codec::DriverEncoderTables();
  std::copy(tables.begin(), tables.end(), extension.QuantTableCopy);
  SharedStore(extension.ButtonSnapshotRequest, uint32_t{0});
  SharedStore(extension.RegistrySnapshotRequest, uint32_t{0});
  SharedStore(extension.WaitingSnapshotRequest, uint32_t{0});
  SharedStore(extension.ModeIndicator,
              (SharedLoad(extension.LastStatusByte) & 0x10) != 0 ? 0u : 1u);
  CountCameraStarted();
  return STATUS_SUCCESS;
}

NTSTATUS CamUnInitialize(DEVICE_OBJECT*, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  const bool wasStarted = extension.AssemblyBuffer != nullptr;
  // Freeing the item also drops a queued write, which would otherwise run
  // against a device that is gone.
  platform::kernel::IoFreeWorkItem(extension.ButtonWorkItem);
  extension.ButtonWorkItem = nullptr;
  SharedStore(extension.ButtonWriteQueued, uint32_t{0});
  FreeBuffers(extension);
  FreeInterfaceCopy(extension);
  if (wasStarted) CountCameraStopped();
  CameraDeviceExtension* self = &extension;
  ActiveCamera.compare_exchange_strong(self, nullptr);
  return STATUS_SUCCESS;
}

NTSTATUS CamAllocateBandwidth(DEVICE_OBJECT*, void* deviceContext, uint32_t* rawFrameLength,
                              void* format) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  *rawFrameLength = 0;
  if (format == nullptr || extension.InterfaceCopy == nullptr) return STATUS_INVALID_PARAMETER;
  std::memcpy(&extension.SavedFormat, format, sizeof extension.SavedFormat);
  const auto& video = extension.SavedFormat.VideoInfoHeader;
  StreamSize size{};
  if (video.bmiHeader.biWidth <= 0 || video.bmiHeader.biHeight <= 0 ||
      !StreamSizeFor({static_cast<uint32_t>(video.bmiHeader.biWidth),
                      static_cast<uint32_t>(video.bmiHeader.biHeight)},
                     size)) {
    return STATUS_INVALID_PARAMETER;
  }
  const uint16_t packetSize = extension.InterfaceCopy->Pipes[0].MaximumPacketSize;
  if (packetSize < kSmallestPacketSize || packetSize > kLargestPacketSize) {
    return STATUS_NOT_SUPPORTED;
  }
  // A non-positive interval has no pacing meaning; such a stream runs unpaced.
  extension.FrameInterval =
      video.AvgTimePerFrame > 0 ? static_cast<uint64_t>(video.AvgTimePerFrame) : 0;
  extension.OutputWidth = static_cast<uint32_t>(video.bmiHeader.biWidth);
  extension.OutputHeight = static_cast<uint32_t>(video.bmiHeader.biHeight);
  extension.BitCount = video.bmiHeader.biBitCount;
  extension.CompressionCode = video.bmiHeader.biCompression;
  extension.SizeClass = size.sizeClass;
  extension.DecodeWidth = size.decode.width;
  extension.DecodeHeight = size.decode.height;
  extension.MaximumPacketSize = packetSize;
  ResetStreamingState(extension);
  *rawFrameLength = RawFrameLengthFor(packetSize, size.decode);
  extension.BandwidthAllocated = 1;
  return STATUS_SUCCESS;
}

NTSTATUS CamFreeBandwidth(DEVICE_OBJECT*, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  extension.BandwidthAllocated = 0;
  return IsActiveCamera(deviceContext) ? STATUS_SUCCESS : STATUS_DEVICE_DATA_ERROR;
}

NTSTATUS CamStartCapture(DEVICE_OBJECT* busDeviceObject, void* deviceContext) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (extension.BandwidthAllocated == 0) {
    uint32_t rawFrameLength = 0;
    const NTSTATUS status = CamAllocateBandwidth(busDeviceObject, deviceContext,
                                                 &rawFrameLength, &extension.SavedFormat);
    if (!platform::kernel::NT_SUCCESS(status)) {
      CameraDeviceExtension* self = &extension;
      ActiveCamera.compare_exchange_strong(self, nullptr);
      return status;
    }
  }
  ++extension.CaptureStartCount;
  extension.SkipFrame = 0;
  return STATUS_SUCCESS;
}

NTSTATUS CamStopCapture(DEVICE_OBJECT*, void*) { return STATUS_SUCCESS; }

NTSTATUS CamSaveState(DEVICE_OBJECT*, void* deviceContext) {
  return IsActiveCamera(deviceContext) ? STATUS_SUCCESS : STATUS_DEVICE_DATA_ERROR;
}

NTSTATUS CamRestoreState(DEVICE_OBJECT*, void* deviceContext) {
  return IsActiveCamera(deviceContext) ? STATUS_SUCCESS : STATUS_DEVICE_DATA_ERROR;
}

}  // namespace ksv::driver
