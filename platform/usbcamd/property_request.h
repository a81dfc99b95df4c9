// The stream class driver's side of a device property request: it looks the
// property up in the tables the minidriver reported with its stream
// information and refuses what they do not declare, before the minidriver
// sees the request.
#pragma once

#include <cstdint>
#include <span>

#include "platform/usbcamd/camera.h"
#include "platform/usbcamd/ks_property.h"

namespace ksv::platform::usbcamd {

inline constexpr NTSTATUS STATUS_NOT_FOUND = kernel::MakeStatus(0xC0000225);

// The declared item, or null.
const KSPROPERTY_ITEM* FindPropertyItem(const HW_STREAM_HEADER& header, const kernel::GUID& set,
                                        uint32_t id);

struct PropertyAnswer {
  NTSTATUS status = kernel::STATUS_SUCCESS;
  uint32_t bytesTransferred = 0;
};

// Sends a get or set of (`set`, `id`) with the request structure `input` and
// the value buffer `value` to the camera's minidriver. An undeclared set or
// id, or a direction the item does not support: STATUS_NOT_FOUND. A request
// structure below the item's minimum: STATUS_INVALID_PARAMETER. An empty
// value buffer for an item with a minimum value size asks for the size
// (STATUS_BUFFER_OVERFLOW with that size); a short one:
// STATUS_BUFFER_TOO_SMALL.
PropertyAnswer SendDeviceProperty(UsbCamdCamera& camera, const HW_STREAM_HEADER& header, bool isSet,
                                  const kernel::GUID& set, uint32_t id,
                                  std::span<const uint8_t> input, std::span<uint8_t> value);

}  // namespace ksv::platform::usbcamd
