// The USB device plugged in under a camera: what the class driver reaches on
// the bus for the camera driver. It answers vendor requests on the default
// pipe, switches the video interface between its alternate settings, each
// with its data pipe's maximum packet size, and sends one packet a bus frame
// on that data pipe.
//
// A hardware module offers its camera under kUsbDeviceInterface
// (platform/hardware); FindUsbCamera finds the first one on the machine.
//
// The class driver finds the device by the camera driver's device context,
// so USBCAMD_ControlVendorCommand and USBCAMD_SelectAlternateInterface take
// the context as the camera driver holds it.
#pragma once

#include <cstdint>
#include <span>

#include "platform/kernel/kernel_types.h"
#include "platform/usbcamd/usb_types.h"

namespace ksv::platform::usbcamd {

// The interface name under which a hardware device offers its UsbDevice.
inline constexpr const char* kUsbDeviceInterface = "usbcamd.UsbDevice";

// One isochronous packet as it arrives: its descriptor status (negative for
// a failed transfer) and its bytes, which the receiver may change. Valid
// until the device sends the next one.
struct IsochronousPacket {
  int32_t status = 0;
  std::span<uint8_t> bytes;
};

class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  // A vendor request. `data` is what an "in" request may fill (its size the
  // length asked for) or what an "out" request carries. Returns the bytes
  // transferred, or a negative USB status when the device stalls it.
  virtual int32_t VendorRequest(bool in, uint8_t request, uint16_t value, uint16_t index,
                                std::span<uint8_t> data) = 0;
  // Selects an alternate setting of the video interface; false when the
  // device refuses it. `maximumPacketSize` receives its data pipe's size.
  virtual bool SelectAlternateSetting(uint8_t setting, uint16_t& maximumPacketSize) = 0;
  // What the device sends on its data pipe in the next 1-ms bus frame. A
  // device without video sends zero-length packets.
  virtual IsochronousPacket NextIsochronousPacket() { return {}; }
};

// The first camera on the machine: a device plugged in directly, else one of
// the hardware modules in the device list. Throws std::runtime_error naming
// what was tried when there is none.
UsbDevice& FindUsbCamera();

// Plugs `device` in under the camera whose driver context is `deviceContext`
// (null unplugs).
void AttachUsbDevice(const void* deviceContext, UsbDevice* device);
UsbDevice* AttachedUsbDevice(const void* deviceContext);

// The alternate setting last selected for that camera and its data pipe's
// packet size (both 0 before any selection).
struct SelectedSetting {
  uint8_t alternateSetting = 0;
  uint16_t maximumPacketSize = 0;
};
SelectedSetting SelectedAlternateSetting(const void* deviceContext);

using PCOMMAND_COMPLETE_FUNCTION = void (*)(void* deviceContext, void* commandContext,
                                            kernel::NTSTATUS status);

// Sends a vendor request on the default pipe and waits for it. `getData`
// makes it an "in" request filling `buffer` with up to *bufferLength bytes;
// *bufferLength receives the count transferred. With a completion routine
// it is called with the result before the call returns. Status:
// STATUS_DEVICE_NOT_CONNECTED without a device, STATUS_UNSUCCESSFUL for a
// stalled request.
kernel::NTSTATUS USBCAMD_ControlVendorCommand(void* deviceContext, uint8_t request,
                                              uint16_t value, uint16_t index, void* buffer,
                                              uint32_t* bufferLength, bool getData,
                                              PCOMMAND_COMPLETE_FUNCTION commandComplete,
                                              void* commandContext);

// Selects `requestInterface->AlternateSetting` and fills in its pipe's
// maximum packet size. STATUS_UNSUCCESSFUL when the device refuses it.
kernel::NTSTATUS USBCAMD_SelectAlternateInterface(void* deviceContext,
                                                  USBD_INTERFACE_INFORMATION* requestInterface);

}  // namespace ksv::platform::usbcamd
