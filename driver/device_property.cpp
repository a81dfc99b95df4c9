// Device property requests: the set's identifier picks the handler; the
// driver completes every one itself.
#include "driver/device_property.h"

#include "driver/property_tables.h"
#include "driver/routines.h"
#include "platform/usbcamd/ks_guids.h"

namespace ksv::driver {

namespace usb = platform::usbcamd;

NTSTATUS HandleDeviceProperty(CameraDeviceExtension& extension, HW_STREAM_REQUEST_BLOCK& srb) {
  const auto& data = srb.CommandData;
  srb.ActualBytesTransferred = 0;
  if (data.PropertySet == nullptr) return platform::kernel::STATUS_NOT_SUPPORTED;
  PropertyRequest request;
  request.isSet = srb.Command == usb::SRB_SET_DEVICE_PROPERTY;
  request.id = data.PropertyId;
  if (data.PropertyValue != nullptr) {
    request.value = {static_cast<uint8_t*>(data.PropertyValue), data.PropertyValueSize};
  }
  // Without a separate request structure the value buffer carries it, as
  // it does for the controls whose request and value are one structure.
  if (data.PropertyInput != nullptr) {
    request.input = {static_cast<const uint8_t*>(data.PropertyInput), data.PropertyInputSize};
  } else {
    request.input = request.value;
  }
  request.bytesReturned = &srb.ActualBytesTransferred;

  const platform::kernel::GUID& set = *data.PropertySet;
  if (set == usb::PROPSETID_VIDCAP_VIDEOPROCAMP) return HandlePictureControl(extension, request);
  if (set == usb::PROPSETID_VIDCAP_CAMERACONTROL) return HandleCameraControl(extension, request);
  if (set == usb::PROPSETID_VIDCAP_VIDEOCONTROL) return HandleVideoControl(extension, request);
  if (set == kCameraPropertySet) return HandleCameraRecord(extension, request);
  return platform::kernel::STATUS_NOT_SUPPORTED;
}

}  // namespace ksv::driver
