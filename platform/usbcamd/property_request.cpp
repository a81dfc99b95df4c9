#include "platform/usbcamd/property_request.h"

namespace ksv::platform::usbcamd {

const KSPROPERTY_ITEM* FindPropertyItem(const HW_STREAM_HEADER& header, const kernel::GUID& set,
                                        uint32_t id) {
  for (uint32_t s = 0; s < header.NumDevPropArrayEntries; ++s) {
    const KSPROPERTY_SET& entry = header.DevicePropertiesArray[s];
    if (entry.Set == nullptr || !(*entry.Set == set)) continue;
    const auto* items = static_cast<const KSPROPERTY_ITEM*>(entry.PropertyItem);
    for (uint32_t i = 0; i < entry.PropertiesCount; ++i) {
      if (items[i].PropertyId == id) return &items[i];
    }
  }
  return nullptr;
}

PropertyAnswer SendDeviceProperty(UsbCamdCamera& camera, const HW_STREAM_HEADER& header, bool isSet,
                                  const kernel::GUID& set, uint32_t id,
                                  std::span<const uint8_t> input, std::span<uint8_t> value) {
  const KSPROPERTY_ITEM* item = FindPropertyItem(header, set, id);
  if (item == nullptr || (isSet ? !item->SetSupported : !item->GetSupported)) {
    return {STATUS_NOT_FOUND, 0};
  }
  if (input.size() < item->MinProperty) return {kernel::STATUS_INVALID_PARAMETER, 0};
  if (value.size() < item->MinData) {
    if (value.empty()) return {kernel::STATUS_BUFFER_OVERFLOW, item->MinData};
    return {kernel::STATUS_BUFFER_TOO_SMALL, 0};
  }
  HW_STREAM_REQUEST_BLOCK srb;
  srb.Command = isSet ? SRB_SET_DEVICE_PROPERTY : SRB_GET_DEVICE_PROPERTY;
  srb.CommandData.PropertySet = &set;
  srb.CommandData.PropertyId = id;
  srb.CommandData.PropertyInput = input.data();
  srb.CommandData.PropertyInputSize = static_cast<uint32_t>(input.size());
  srb.CommandData.PropertyValue = value.data();
  srb.CommandData.PropertyValueSize = static_cast<uint32_t>(value.size());
  const NTSTATUS status = camera.SendDeviceRequest(srb);
  return {status, srb.ActualBytesTransferred};
}

}  // namespace ksv::platform::usbcamd
