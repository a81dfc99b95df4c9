// Device configuration, start and stop, capture start and stop, power down
// and up: the camera's life around its streams.
#include <algorithm>
#include <cstring>

#include "codec/quant_tables.h"
#include "driver/button_thread.h"
#include "driver/camera_requests.h"
#include "driver/driver_pool.h"
#include "driver/driver_status.h"
#include "driver/driver_values.h"
#include "driver/lifecycle_steps.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "platform/kernel/device_names.h"
#include "platform/kernel/processor.h"
#include "platform/kernel/timing.h"
#include "platform/usbcamd/stream_class.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
using kernel::NT_SUCCESS;
using kernel::STATUS_DEVICE_DATA_ERROR;
using kernel::STATUS_INSUFFICIENT_RESOURCES;
using kernel::STATUS_SUCCESS;
using platform::usbcamd::USBD_INTERFACE_INFORMATION;

constexpr uint32_t kConfiguredMarker = 0x4B535631;  // "1VSK"
constexpr uint32_t kDataPipeMaximumTransferSize = 32768;
constexpr uint16_t kCameraCompressionLevel = 3;
constexpr int64_t kTenMilliseconds = 100'000;
constexpr const char* kDeviceName = "\\Device\\RMC900";
constexpr const char* kLinkName = "\\DosDevices\\RMC900";
// Imaging devices: still-image software finds the camera by this class.
constexpr kernel::GUID kImagingDeviceClass = {
    0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

void FreeBuffers(CameraDeviceExtension& extension) {
  FreeDriverMemory(extension.QuantTableCopy);
  FreeDriverMemory(extension.SnapshotBuffer);
  FreeDriverMemory(extension.LastGoodFrame);
  FreeDriverMemory(extension.LastGoodEncoded);
  FreeDriverMemory(extension.AssemblyBuffer);
}

bool AllocateBuffers(CameraDeviceExtension& extension) {
  extension.QuantTableCopy = static_cast<uint8_t*>(AllocateDriverMemory(kQuantTableCopySize));
  extension.SnapshotBuffer = static_cast<uint8_t*>(AllocateDriverMemory(kSnapshotBufferSize));
  extension.LastGoodFrame = static_cast<uint8_t*>(AllocateDriverMemory(kLastGoodFrameSize));
  extension.LastGoodEncoded = static_cast<uint8_t*>(AllocateDriverMemory(kAssemblyBufferSize));
  extension.AssemblyBuffer = static_cast<uint8_t*>(AllocateDriverMemory(kAssemblyBufferSize));
  return extension.QuantTableCopy && extension.SnapshotBuffer && extension.LastGoodFrame &&
         extension.LastGoodEncoded && extension.AssemblyBuffer;
}

void CreateDeviceNames(CameraDeviceExtension& extension, DEVICE_OBJECT* physicalDevice) {
  if (!NT_SUCCESS(kernel::IoCreateSymbolicLink(kLinkName, kDeviceName))) return;
  extension.OwnsSymbolicLink = 1;
  if (NT_SUCCESS(kernel::IoRegisterDeviceInterface(physicalDevice, kImagingDeviceClass,
                                                   &extension.InterfaceName))) {
    kernel::IoSetDeviceInterfaceState(extension.InterfaceName, true);
  }
}

void ClearSnapshotRequests(CameraDeviceExtension& extension) {
  SharedStore(extension.ButtonSnapshotRequest, uint32_t{0});
  SharedStore(extension.RegistrySnapshotRequest, uint32_t{0});
  SharedStore(extension.WaitingSnapshotRequest, uint32_t{0});
  SharedStore(extension.SnapshotWritten, uint32_t{0});
}

// Leaves streaming as the camera powers on: busy waits, and whatever the
// camera answers, the start goes on.
void ResetCameraStreaming(CameraDeviceExtension& extension) {
  if (!NT_SUCCESS(SendCameraRequest(extension, camera_request::kLeaveStreaming, 0, 0))) return;
  WaitUntilCameraReady(extension, ReadyWait::kBusyWait);
}

void TakeStatusByte(CameraDeviceExtension& extension) {
  uint8_t answer = 0;
  if (NT_SUCCESS(ReadCameraStatus(extension, answer))) {
    SharedStore(extension.LastStatusByte, static_cast<uint8_t>((answer & 0x3F) * 4));
  }
  const uint8_t status = SharedLoad(extension.LastStatusByte);
  WriteDriverValue("Button", status);
  SharedStore(extension.ModeIndicator, (status & 0x10) != 0 ? 0u : 1u);
}

void ReleaseDevice(CameraDeviceExtension& extension) {
  StopButtonThread(extension);
  // Freeing the item also drops a queued write, which would otherwise run
  // against a device that is gone.
  kernel::IoFreeWorkItem(extension.ButtonWorkItem);
  extension.ButtonWorkItem = nullptr;
  SharedStore(extension.ButtonWriteQueued, uint32_t{0});
  FreeBuffers(extension);
  FreeDriverMemory(extension.InterfaceCopy);
  // Only a start that got as far as counting itself counts a stop: a start
  // that failed earlier must not take the decoder from another camera.
  if (extension.HoldsDecoder != 0) {
    extension.HoldsDecoder = 0;
    CountCameraStopped();
  }
}

}  // namespace

void RemoveDeviceNames(CameraDeviceExtension& extension) {
  if (extension.InterfaceName != nullptr) {
    kernel::IoSetDeviceInterfaceState(extension.InterfaceName, false);
    kernel::ExFreePool(extension.InterfaceName);
    extension.InterfaceName = nullptr;
  }
  if (extension.OwnsSymbolicLink != 0) {
    kernel::IoDeleteSymbolicLink(kLinkName);
    extension.OwnsSymbolicLink = 0;
  }
}

void* AllocateDriverMemory(uint32_t bytes) {
  void* memory = kernel::ExAllocatePoolWithTag(kernel::NonPagedPool, bytes, kDriverPoolTag);
  if (memory != nullptr) std::memset(memory, 0, bytes);
  return memory;
}

NTSTATUS CamConfigure(DEVICE_OBJECT*, void* deviceContext, USBD_INTERFACE_INFORMATION* interface,
                      platform::usbcamd::USB_CONFIGURATION_DESCRIPTOR*, int32_t* dataPipeIndex,
                      int32_t* syncPipeIndex) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (interface == nullptr) {  // the device is going away
    CamUnInitialize(nullptr, deviceContext);
    SetDriverState(&extension, kCameraRemoved);
    return STATUS_SUCCESS;
  }
  ActiveCamera.store(&extension, std::memory_order_release);
  extension.ConfiguredMarker = kConfiguredMarker;
  extension.LastError = 0;
  SetDriverState(&extension, kCameraConfigured);
  FreeDriverMemory(extension.InterfaceCopy);
  if (!kernel::ProcessorHasMmx()) return STATUS_INSUFFICIENT_RESOURCES;
  extension.InterfaceCopy =
      static_cast<USBD_INTERFACE_INFORMATION*>(AllocateDriverMemory(sizeof *interface));
  if (extension.InterfaceCopy == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  *dataPipeIndex = 0;
  *syncPipeIndex = -1;
  interface->AlternateSetting = 0;
  interface->Pipes[0].MaximumTransferSize = kDataPipeMaximumTransferSize;
  *extension.InterfaceCopy = *interface;
  return STATUS_SUCCESS;
}

NTSTATUS CamInitialize(DEVICE_OBJECT* busDeviceObject, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (extension.AssemblyBuffer != nullptr) return STATUS_SUCCESS;  // already started
  CreateDeviceNames(extension, busDeviceObject);
  SetDriverState(&extension, kCameraInitialised);
  extension.ButtonWorkItem = kernel::IoAllocateWorkItem(busDeviceObject);
  if (!AllocateBuffers(extension) || extension.ButtonWorkItem == nullptr) {
    ReleaseDevice(extension);
    RemoveDeviceNames(extension);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  const auto tables = codec::DriverEncoderTables();
  std::copy(tables.begin(), tables.end(), extension.QuantTableCopy);
  ClearSnapshotRequests(extension);
  CountCameraStarted();
  extension.HoldsDecoder = 1;

  ResetCameraStreaming(extension);
  LoadSettings(extension);
  extension.PreviousSizeClass = -1;
  extension.PreviousCompression = 0xFFFFFFFF;
  extension.CompressionLevel = kCameraCompressionLevel;
  WriteDriverValue("BulkMode", 0);
  WriteDriverValue("IsoMode", 0);
  extension.StreamOpen = 0;
  TakeStatusByte(extension);

  kernel::KeInitializeEvent(&extension.SnapshotWrittenEvent, kernel::NotificationEvent, false);
  if (!NT_SUCCESS(StartButtonThread(extension))) {
    ReleaseDevice(extension);
    RemoveDeviceNames(extension);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  extension.PowerState = platform::usbcamd::PowerDeviceD0;
  return STATUS_SUCCESS;
}

NTSTATUS CamUnInitialize(DEVICE_OBJECT*, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  ReleaseDevice(extension);
  RemoveDeviceNames(extension);
  CameraDeviceExtension* self = &extension;
  ActiveCamera.compare_exchange_strong(self, nullptr);
  return STATUS_SUCCESS;
}

NTSTATUS CamStartCapture(DEVICE_OBJECT* busDeviceObject, void* deviceContext) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  if (extension.BandwidthAllocated == 0) {
    uint32_t rawFrameLength = 0;
    const NTSTATUS status = CamAllocateBandwidth(busDeviceObject, deviceContext,
                                                 &rawFrameLength, &extension.SavedFormat);
    if (!NT_SUCCESS(status)) {
      CameraDeviceExtension* self = &extension;
      ActiveCamera.compare_exchange_strong(self, nullptr);
      return status;
    }
  }
  NTSTATUS status = WriteCameraRegister(extension, kEngineRegister, kEngineStart);
  if (!NT_SUCCESS(status)) return status;
  kernel::KeDelayExecutionThread(-kTenMilliseconds);
  status = WaitForEngine(extension);
  if (!NT_SUCCESS(status)) return status;  // a failed read; a slow engine is let be
  ++extension.CaptureStartCount;
  extension.SkipFrame = 0;
  return STATUS_SUCCESS;
}

NTSTATUS CamStopCapture(DEVICE_OBJECT*, void*) { return STATUS_SUCCESS; }

NTSTATUS CamSaveState(DEVICE_OBJECT*, void* deviceContext) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  LeaveStreaming(extension);
  extension.Suspended = 1;
  return STATUS_SUCCESS;
}

NTSTATUS CamRestoreState(DEVICE_OBJECT*, void* deviceContext) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  extension.Suspended = 0;
  const uint32_t state = SharedLoad(extension.StateNumber);
  if (state >= 4 && state <= 6) {  // a stream is open
    if (NT_SUCCESS(EnterStreaming(extension))) {
      ProgramCompressionEngine(extension);
      RestorePictureSettings(extension);
    }
  }
  return STATUS_SUCCESS;
}

}  // namespace ksv::driver
