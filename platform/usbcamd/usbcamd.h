// The interface between the USB camera class driver and a camera minidriver:
// the minidriver registers a table of routines, and the class driver calls
// them for device start and stop, stream set-up, every isochronous packet
// and every finished raw frame.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel_types.h"
#include "platform/usbcamd/stream_class.h"
#include "platform/usbcamd/usb_device.h"
#include "platform/usbcamd/usb_types.h"

namespace ksv::platform::usbcamd {

using kernel::DEVICE_OBJECT;
using kernel::DRIVER_OBJECT;
using kernel::NTSTATUS;

// Device start and stop, capture start and stop, power down and up, and
// bandwidth release share this form.
using PCAM_DEVICE_ROUTINE = NTSTATUS (*)(DEVICE_OBJECT* busDeviceObject, void* deviceContext);

using PCAM_CONFIGURE_ROUTINE = NTSTATUS (*)(DEVICE_OBJECT* busDeviceObject, void* deviceContext,
                                            USBD_INTERFACE_INFORMATION* interface,
                                            USB_CONFIGURATION_DESCRIPTOR* configuration,
                                            int32_t* dataPipeIndex, int32_t* syncPipeIndex);

// `format` is the stream's KS_DATAFORMAT_VIDEOINFOHEADER.
using PCAM_ALLOCATE_BANDWIDTH_ROUTINE = NTSTATUS (*)(DEVICE_OBJECT* busDeviceObject,
                                                     void* deviceContext,
                                                     uint32_t* rawFrameLength, void* format);

// Returns how many bytes of the packet, from its start, go into the current
// raw frame. Setting *frameComplete closes the current raw frame before this
// packet's bytes are copied into the next one.
using PCAM_PROCESS_PACKET_ROUTINE = uint32_t (*)(
    DEVICE_OBJECT* busDeviceObject, void* deviceContext, void* currentFrameContext,
    USBD_ISO_PACKET_DESCRIPTOR* syncPacket, void* syncBuffer,
    USBD_ISO_PACKET_DESCRIPTOR* dataPacket, void* dataBuffer, bool* frameComplete,
    bool* nextFrameIsStill);

using PCAM_NEW_VIDEO_FRAME_ROUTINE = void (*)(void* deviceContext, void* frameContext);

// Turns a closed raw frame (`numberOfPackets` packets as copied) into the
// output the stream's reader receives.
using PCAM_PROCESS_RAW_FRAME_ROUTINE = NTSTATUS (*)(
    DEVICE_OBJECT* busDeviceObject, void* deviceContext, void* frameContext, void* frameBuffer,
    uint32_t frameLength, void* rawFrameBuffer, uint32_t rawFrameLength,
    uint32_t numberOfPackets, uint32_t* bytesReturned);

// The version-1 device-data table, routines in the class driver's order.
struct USBCAMD_DEVICE_DATA {
  uint32_t Sig = 0;
  PCAM_DEVICE_ROUTINE CamInitialize = nullptr;
  PCAM_DEVICE_ROUTINE CamUnInitialize = nullptr;
  PCAM_PROCESS_PACKET_ROUTINE CamProcessUSBPacket = nullptr;
  PCAM_NEW_VIDEO_FRAME_ROUTINE CamNewVideoFrame = nullptr;
  PCAM_PROCESS_RAW_FRAME_ROUTINE CamProcessRawVideoFrame = nullptr;
  PCAM_DEVICE_ROUTINE CamStartCapture = nullptr;
  PCAM_DEVICE_ROUTINE CamStopCapture = nullptr;
  PCAM_CONFIGURE_ROUTINE CamConfigure = nullptr;
  PCAM_DEVICE_ROUTINE CamSaveState = nullptr;
  PCAM_DEVICE_ROUTINE CamRestoreState = nullptr;
  PCAM_ALLOCATE_BANDWIDTH_ROUTINE CamAllocateBandwidth = nullptr;
  PCAM_DEVICE_ROUTINE CamFreeBandwidth = nullptr;
};

// Registers a minidriver with the class driver. `driverObject` is the one
// the minidriver's entry point received; its DriverExtension must point to
// the ClassDriver that serves it. The class driver gives every camera a
// zero-filled device context of `deviceContextSize` bytes and every raw
// frame a frame context of `frameContextSize` bytes. Every stream class
// request goes to `adapterReceivePacket` first when one is given (it hands
// what it does not finish itself to USBCAMD_AdapterReceivePacket); without
// one the class driver processes them alone. Fails with
// STATUS_INVALID_PARAMETER for a missing routine, a signature other than 0,
// a device context of 0 or over 64 KiB, or a frame context over 64 bytes.
NTSTATUS USBCAMD_DriverEntry(DRIVER_OBJECT* driverObject, void* registryPath,
                             uint32_t deviceContextSize, uint32_t frameContextSize,
                             const USBCAMD_DEVICE_DATA* deviceData,
                             PHW_RECEIVE_DEVICE_SRB adapterReceivePacket = nullptr);

// The class driver's processing of a device request: device start and stop,
// stream open and close, power and removal (calling the minidriver's
// routines). Completes the request when `needsCompletion`. Returns the
// minidriver's device context and stores the bus device in *deviceObject
// when that is not null.
void* USBCAMD_AdapterReceivePacket(HW_STREAM_REQUEST_BLOCK* srb,
                                   const USBCAMD_DEVICE_DATA* deviceData,
                                   DEVICE_OBJECT** deviceObject, bool needsCompletion);

// The minidriver's device context in a request's HwDeviceExtension.
void* USBCAMD_GET_DEVICE_CONTEXT(void* hwDeviceExtension);

}  // namespace ksv::platform::usbcamd
