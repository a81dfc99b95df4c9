// The camera driver's entry point and the routines it registers with the USB
// camera class driver, in the class driver's table order.
#pragma once

#include <cstdint>

#include "platform/usbcamd/usbcamd.h"

namespace ksv::driver {

using platform::kernel::DEVICE_OBJECT;
using platform::kernel::DRIVER_OBJECT;
using platform::kernel::NTSTATUS;
using platform::usbcamd::HW_STREAM_REQUEST_BLOCK;
using platform::usbcamd::USBD_ISO_PACKET_DESCRIPTOR;

struct CameraDeviceExtension;

// Publishes "DriverStatus" 1 and registers the routines below and the
// adapter request routine with the class driver, a 752-byte device context
// and a 4-byte frame context.
NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, void* registryPath);

// Every device request of the stream class driver, by command.
void AdapterReceivePacket(HW_STREAM_REQUEST_BLOCK* srb);
// The stream's hooks, installed when the stream opens.
void StreamControlHook(HW_STREAM_REQUEST_BLOCK* srb, void* deviceContext, bool* completed);
void StreamDataHook(HW_STREAM_REQUEST_BLOCK* srb, void* deviceContext, bool* completed);
// Device property requests (the camera's picture controls).
NTSTATUS HandleDeviceProperty(CameraDeviceExtension& extension, HW_STREAM_REQUEST_BLOCK& srb);

// The table DriverEntry registers.
const platform::usbcamd::USBCAMD_DEVICE_DATA& DeviceData();

// Device start: names the device, allocates the frame buffers and the
// "Button" work item, sets the decoder up for the first camera, brings the
// camera out of streaming, loads the settings, reads the camera's status
// and starts the button thread.
NTSTATUS CamInitialize(DEVICE_OBJECT* busDeviceObject, void* deviceContext);
// Device stop: ends the button thread and frees everything CamInitialize
// and CamConfigure allocated.
NTSTATUS CamUnInitialize(DEVICE_OBJECT* busDeviceObject, void* deviceContext);

// Per isochronous packet: counts, checks sequence and paces frames, and
// returns how many of the packet's bytes go into the raw frame (0 or the
// pipe's maximum packet size). Sets *frameComplete when the packet starts a
// frame that is delivered; always clears *nextFrameIsStill.
uint32_t CamProcessUSBPacket(DEVICE_OBJECT* busDeviceObject, void* deviceContext,
                             void* currentFrameContext, USBD_ISO_PACKET_DESCRIPTOR* syncPacket,
                             void* syncBuffer, USBD_ISO_PACKET_DESCRIPTOR* dataPacket,
                             void* dataBuffer, bool* frameComplete, bool* nextFrameIsStill);

// Nothing to do for a new frame buffer.
void CamNewVideoFrame(void* deviceContext, void* frameContext);

// Per finished raw frame: assembles it and writes the stream's output
// (decoded picture, pass-through frame, last good frame, zeros or the
// damage mark) into `frameBuffer`.
NTSTATUS CamProcessRawVideoFrame(DEVICE_OBJECT* busDeviceObject, void* deviceContext,
                                 void* frameContext, void* frameBuffer, uint32_t frameLength,
                                 void* rawFrameBuffer, uint32_t rawFrameLength,
                                 uint32_t numberOfPackets, uint32_t* bytesReturned);

NTSTATUS CamStartCapture(DEVICE_OBJECT* busDeviceObject, void* deviceContext);
NTSTATUS CamStopCapture(DEVICE_OBJECT* busDeviceObject, void* deviceContext);

// Makes this camera the active one; data pipe 0, no sync pipe. Refuses a
// processor without MMX (STATUS_INSUFFICIENT_RESOURCES).
NTSTATUS CamConfigure(DEVICE_OBJECT* busDeviceObject, void* deviceContext,
                      platform::usbcamd::USBD_INTERFACE_INFORMATION* interface,
                      platform::usbcamd::USB_CONFIGURATION_DESCRIPTOR* configuration,
                      int32_t* dataPipeIndex, int32_t* syncPipeIndex);

NTSTATUS CamSaveState(DEVICE_OBJECT* busDeviceObject, void* deviceContext);
NTSTATUS CamRestoreState(DEVICE_OBJECT* busDeviceObject, void* deviceContext);

// Takes the stream's format (output size and code, frame interval), resets
// the streaming counters and pacing, brings the camera into streaming,
// programs its compression engine, restores its picture settings, chooses
// the alternate setting and reports the raw frame length the class driver
// must hold.
NTSTATUS CamAllocateBandwidth(DEVICE_OBJECT* busDeviceObject, void* deviceContext,
                              uint32_t* rawFrameLength, void* format);
NTSTATUS CamFreeBandwidth(DEVICE_OBJECT* busDeviceObject, void* deviceContext);

}  // namespace ksv::driver
