// Bandwidth allocation and release: the stream's format, the camera's
// compression engine, the alternate setting and the raw frame length.
#include <algorithm>
#include <cstring>

#include "codec/quant_tables.h"
#include "driver/camera_requests.h"
#include "driver/current_time.h"
#include "driver/driver_values.h"
#include "driver/lifecycle_steps.h"
#include "driver/module_state.h"
#include "driver/routines.h"
#include "platform/usbcamd/usb_device.h"

namespace ksv::driver {
namespace {

namespace kernel = platform::kernel;
using kernel::NT_SUCCESS;
using kernel::STATUS_DEVICE_DATA_ERROR;
using kernel::STATUS_INSUFFICIENT_RESOURCES;
using kernel::STATUS_INVALID_PARAMETER;
using kernel::STATUS_NOT_SUPPORTED;
using kernel::STATUS_SUCCESS;

constexpr int kEnginePolls = 500;
constexpr uint16_t kBandwidthBitsPerPixel = 12;
// The alternate settings of the camera's video interface.
constexpr uint16_t kSmallestPacketSize = 128;
constexpr uint16_t kLargestPacketSize = 1023;
constexpr uint8_t kPreferredSettings[] = {4, 3, 2, 1};
constexpr uint16_t kBandwidthCheckRegister = 0x800D;

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
  SharedStore(extension.SnapshotWritten, uint32_t{0});
  extension.NextFrameDue = CurrentTime100ns();
  extension.FrameCounter = 0;
  extension.FramesSeen = 0;
  extension.FramesDropped = 0;
  extension.PacketErrors = 0;
  extension.ExpectedSequence = 0;
  extension.DecodeFailures = 0;
  extension.StreamHasGoodFrame = 0;
  extension.OversizedFrames = 0;
  extension.TruncatedPassThroughFrames = 0;
}

NTSTATUS SelectSetting(CameraDeviceExtension& extension, uint8_t setting) {
  extension.InterfaceCopy->AlternateSetting = setting;
  return platform::usbcamd::USBCAMD_SelectAlternateInterface(&extension, extension.InterfaceCopy);
}

// The first of settings 4, 3, 2, 1 the camera takes. On settings 2 and 3 the
// camera says through register 0x800D whether it keeps up; when it does not,
// the setting below is taken instead. Setting 0 carries no video, so a
// camera that takes none of them gives no bandwidth.
NTSTATUS ChooseAlternateSetting(CameraDeviceExtension& extension) {
  NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
  uint8_t chosen = 0;
  for (uint8_t setting : kPreferredSettings) {
    status = SelectSetting(extension, setting);
    if (NT_SUCCESS(status)) {
      chosen = setting;
      break;
    }
  }
  if (chosen == 0) {
    // Refused by the camera: no bandwidth. A camera that is gone says so.
    return status == kernel::STATUS_DEVICE_NOT_CONNECTED ? status : STATUS_INSUFFICIENT_RESOURCES;
  }
  if (chosen == 2 || chosen == 3) {
    uint8_t check[2] = {0xFF, 0xFF};
    if (NT_SUCCESS(ReadCameraRegister(extension, kBandwidthCheckRegister, check, 2)) &&
        (check[0] & 0x08) == 0) {
      SelectSetting(extension, 0);
      status = SelectSetting(extension, static_cast<uint8_t>(chosen - 1));
    }
  }
  return status;
}

}  // namespace

NTSTATUS WaitForEngine(CameraDeviceExtension& extension) {
  for (int poll = 0; poll < kEnginePolls; ++poll) {
    uint8_t value = 0;
    const NTSTATUS status = ReadCameraRegister(extension, kEngineRegister, &value, 1);
    if (!NT_SUCCESS(status)) return status;
    if (value == kEngineReady) return STATUS_SUCCESS;
    WaitTenMilliseconds();
  }
  return STATUS_SUCCESS;
}

NTSTATUS ProgramCompressionEngine(CameraDeviceExtension& extension) {
  const bool small = extension.SizeClass == 0;
  WriteCameraRegister(extension, 0x850A, 1);
  WriteCameraRegister(extension, 0x8001, 20);
  WriteCameraRegister(extension, 0x8002, small ? 16 : 15);
  WriteCameraRegister(extension, 0x8003, small ? 16 : 0);
  const uint16_t level = std::min<uint16_t>(extension.CompressionLevel, 3);
  WriteCameraRegister(extension, 0x8880, level);
  const uint8_t* tables = extension.QuantTableCopy + level * 128u;
  for (uint16_t i = 0; i < 64; ++i) {
    WriteCameraRegister(extension, static_cast<uint16_t>(0x8800 + i), tables[i]);
    WriteCameraRegister(extension, static_cast<uint16_t>(0x8840 + i), tables[64 + i]);
  }
  WriteCameraRegister(extension, kEngineRegister, kEngineStart);
  return WaitForEngine(extension);
}

NTSTATUS CamAllocateBandwidth(DEVICE_OBJECT*, void* deviceContext, uint32_t* rawFrameLength,
                              void* format) {
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  *rawFrameLength = 0;
  if (format == nullptr || extension.InterfaceCopy == nullptr ||
      extension.QuantTableCopy == nullptr) {
    return STATUS_INVALID_PARAMETER;
  }
  if (format != &extension.SavedFormat) {
    std::memcpy(&extension.SavedFormat, format, sizeof extension.SavedFormat);
  }
  const auto& video = extension.SavedFormat.VideoInfoHeader;
  StreamSize size{};
  if (video.bmiHeader.biWidth <= 0 || video.bmiHeader.biHeight <= 0 ||
      !StreamSizeFor({static_cast<uint32_t>(video.bmiHeader.biWidth),
                      static_cast<uint32_t>(video.bmiHeader.biHeight)},
                     size)) {
    return STATUS_INVALID_PARAMETER;
  }
  // A non-positive interval has no pacing meaning; such a stream runs unpaced.
  extension.FrameInterval =
      video.AvgTimePerFrame > 0 ? static_cast<uint64_t>(video.AvgTimePerFrame) : 0;
  extension.OutputWidth = static_cast<uint32_t>(video.bmiHeader.biWidth);
  extension.OutputHeight = static_cast<uint32_t>(video.bmiHeader.biHeight);
  extension.BitCount = video.bmiHeader.biBitCount;
  extension.CompressionCode = video.bmiHeader.biCompression;

  WriteDriverValue("SnapShot", 0);
  WriteDriverValue("SnapShoot", 0);
  ResetStreamingState(extension);

  extension.SizeClass = size.sizeClass;
  extension.DecodeWidth = size.decode.width;
  extension.DecodeHeight = size.decode.height;
  extension.CompressionLevel = 3;
  extension.BandwidthBitsPerPixel = kBandwidthBitsPerPixel;
  LoadSettings(extension);

  NTSTATUS status = EnterStreaming(extension);
  if (!NT_SUCCESS(status)) return status;
  ProgramCompressionEngine(extension);
  RestorePictureSettings(extension);

  status = ChooseAlternateSetting(extension);
  const uint16_t packetSize = extension.InterfaceCopy->Pipes[0].MaximumPacketSize;
  if (NT_SUCCESS(status) && (packetSize < kSmallestPacketSize || packetSize > kLargestPacketSize)) {
    status = STATUS_NOT_SUPPORTED;
  }
  if (!NT_SUCCESS(status)) {
    // Refused: the camera goes back to setting 0, which carries no video,
    // and its engine leaves streaming, whatever the class driver does next.
    SelectSetting(extension, 0);
    LeaveStreaming(extension);
    return status;
  }
  extension.MaximumPacketSize = packetSize;
  *rawFrameLength = RawFrameLengthFor(packetSize, size.decode);
  extension.BandwidthAllocated = 1;
  return status;
}

NTSTATUS CamFreeBandwidth(DEVICE_OBJECT*, void* deviceContext) {
  CameraDeviceExtension& extension = ExtensionOf(deviceContext);
  extension.PreviousSizeClass = static_cast<int16_t>(extension.SizeClass);
  extension.PreviousCompression = extension.CompressionCode;
  extension.BandwidthAllocated = 0;
  if (!IsActiveCamera(deviceContext)) return STATUS_DEVICE_DATA_ERROR;
  WriteDriverValue("TimerTrigger", 0);
  const NTSTATUS status = extension.InterfaceCopy != nullptr ? SelectSetting(extension, 0)
                                                             : STATUS_INVALID_PARAMETER;
  LeaveStreaming(extension);
  return status;
}

}  // namespace ksv::driver
