// USB descriptors and pipe information the class driver hands the camera
// driver: only the fields the camera driver reads.
#pragma once

#include <cstdint>

namespace ksv::platform::usbcamd {

using USBD_STATUS = int32_t;

// Isochronous packet outcomes. Failures are negative.
inline constexpr USBD_STATUS USBD_STATUS_SUCCESS = 0;
inline constexpr USBD_STATUS USBD_STATUS_ISO_NOT_ACCESSED_BY_HW =
    static_cast<USBD_STATUS>(0xC0020000);

// One isochronous packet of a transfer: where its bytes start in the
// transfer buffer, how many arrived, and how the transfer went.
struct USBD_ISO_PACKET_DESCRIPTOR {
  uint32_t Offset = 0;
  uint32_t Length = 0;
  USBD_STATUS Status = USBD_STATUS_SUCCESS;
};

struct USBD_PIPE_INFORMATION {
  uint16_t MaximumPacketSize = 0;
  uint8_t EndpointAddress = 0;
  uint8_t Interval = 0;
  uint32_t MaximumTransferSize = 0;
};

// The selected interface: its alternate setting and pipes. The camera has
// one pipe, the isochronous video data pipe.
struct USBD_INTERFACE_INFORMATION {
  uint16_t Length = sizeof(USBD_INTERFACE_INFORMATION);
  uint8_t InterfaceNumber = 0;
  uint8_t AlternateSetting = 0;
  uint32_t NumberOfPipes = 1;
  USBD_PIPE_INFORMATION Pipes[1];
};

// The configuration descriptor; the camera driver does not look inside.
struct USB_CONFIGURATION_DESCRIPTOR {
  uint8_t bLength = 9;
  uint8_t bDescriptorType = 2;
  uint16_t wTotalLength = 9;
  uint8_t bNumInterfaces = 1;
  uint8_t bConfigurationValue = 1;
};

}  // namespace ksv::platform::usbcamd
