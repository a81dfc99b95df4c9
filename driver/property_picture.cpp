// Video processing amplifier and camera control: each set stores the
// setting, sends it to the camera and writes it to the registry. A request
// the camera fails is recorded as the last error and not reported: the
// setting holds and reaches the camera at the next restore.
#include <optional>

#include "driver/camera_requests.h"
#include "driver/camera_settings.h"
#include "driver/device_property.h"
#include "driver/property_layout.h"
#include "platform/usbcamd/ks_property.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

namespace usb = platform::usbcamd;
namespace cv = property_layout::control_value;
using platform::kernel::STATUS_BUFFER_TOO_SMALL;
using platform::kernel::STATUS_NOT_SUPPORTED;
using platform::kernel::STATUS_SUCCESS;
using property_layout::kFlagsAuto;
using property_layout::kFlagsManual;

struct Control {
  int32_t CameraSettings::*setting;
  uint32_t maximum;
  uint32_t registryBit;
};

std::optional<Control> PictureControl(uint32_t id) {
  switch (id) {
    case usb::KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS:
      return Control{&CameraSettings::Brightness, 255, setting_bit::kBrightness};
    case usb::KSPROPERTY_VIDEOPROCAMP_CONTRAST:
      return Control{&CameraSettings::Contrast, 31, setting_bit::kContrast};
    case usb::KSPROPERTY_VIDEOPROCAMP_HUE:
      return Control{&CameraSettings::Hue, 719, setting_bit::kHue};
    case usb::KSPROPERTY_VIDEOPROCAMP_SATURATION:
      return Control{&CameraSettings::Saturation, 63, setting_bit::kSaturation};
    case usb::KSPROPERTY_VIDEOPROCAMP_SHARPNESS:
      return Control{&CameraSettings::Sharpness, 255, setting_bit::kSharpness};
    case usb::KSPROPERTY_VIDEOPROCAMP_GAMMA:
      return Control{&CameraSettings::Gamma, 9, setting_bit::kGamma};
    case usb::KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE:
      return Control{&CameraSettings::WhiteBalance, 20, setting_bit::kWhiteBalance};
    default:
      return std::nullopt;
  }
}

void AnswerControl(const PropertyRequest& request, int32_t value, uint32_t flags,
                   uint32_t capabilities) {
  support::StoreLe32(request.value, cv::kValue, static_cast<uint32_t>(value));
  support::StoreLe32(request.value, cv::kFlags, flags);
  support::StoreLe32(request.value, cv::kCapabilities, capabilities);
  *request.bytesReturned = cv::kSize;
}

void SetWhiteBalance(CameraDeviceExtension& extension, int32_t value, bool automatic) {
  CameraSettings& s = extension.Settings;
  s.WhiteBalance = value;
  WriteSettings(s, setting_bit::kWhiteBalance);
  s.AutoWhiteBalance = automatic ? 1 : 0;
  SendCameraRequest(extension, camera_request::kMode,
                    ExposureWhiteBalanceMode(s.AutoExposure, s.AutoWhiteBalance), 0);
  if (!automatic) {
    const WhiteBalanceGains gains = ManualWhiteBalanceGains(value);
    WriteCameraRegister(extension, 0x8151, gains.a);
    WriteCameraRegister(extension, 0x8153, gains.b);
  }
  WriteSettings(s, setting_bit::kAutoWhiteBalance);
}

void SendPictureSetting(CameraDeviceExtension& extension, uint32_t id, int32_t value) {
  switch (id) {
    case usb::KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS:
      WriteCameraRegister(extension, 0x8167, static_cast<uint16_t>(value - 128));
      break;
    case usb::KSPROPERTY_VIDEOPROCAMP_CONTRAST:
      WriteCameraRegister(extension, 0x8168, static_cast<uint8_t>(value + 32));
      SharedStore(extension.ContrastSetting, static_cast<uint16_t>(value));
      break;
    case usb::KSPROPERTY_VIDEOPROCAMP_HUE:
      WriteCameraRegister(extension, 0x816B, static_cast<uint8_t>(((value >> 6) & 0x0C) | 3));
      WriteCameraRegister(extension, 0x816A, static_cast<uint8_t>(value & 0xFF));
      break;
    case usb::KSPROPERTY_VIDEOPROCAMP_SATURATION:
      WriteCameraRegister(extension, 0x8169, static_cast<uint8_t>(value));
      break;
    case usb::KSPROPERTY_VIDEOPROCAMP_SHARPNESS:
      WriteCameraRegister(extension, 0x8157, static_cast<uint8_t>(value));
      break;
    case usb::KSPROPERTY_VIDEOPROCAMP_GAMMA:
      ApplyGamma(extension);
      break;
    default:
      break;
  }
}

}  // namespace

NTSTATUS HandlePictureControl(CameraDeviceExtension& extension, const PropertyRequest& request) {
  const std::optional<Control> control = PictureControl(request.id);
  if (!control) return STATUS_NOT_SUPPORTED;
  if (request.value.size() < cv::kSize) return STATUS_BUFFER_TOO_SMALL;
  CameraSettings& s = extension.Settings;
  const bool whiteBalance = request.id == usb::KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE;
  if (!request.isSet) {
    if (whiteBalance) {
      AnswerControl(request, s.WhiteBalance, s.AutoWhiteBalance == 1 ? kFlagsAuto : kFlagsManual,
                    kFlagsAuto | kFlagsManual);
    } else {
      AnswerControl(request, s.*control->setting, kFlagsManual, kFlagsManual);
    }
    return STATUS_SUCCESS;
  }
  const uint32_t value = support::LoadLe32(request.value, cv::kValue);
  if (value > control->maximum) return STATUS_NOT_SUPPORTED;
  if (whiteBalance) {
    const uint32_t flags = support::LoadLe32(request.value, cv::kFlags);
    SetWhiteBalance(extension, static_cast<int32_t>(value), (flags & kFlagsAuto) != 0);
    return STATUS_SUCCESS;
  }
  s.*control->setting = static_cast<int32_t>(value);
  SendPictureSetting(extension, request.id, static_cast<int32_t>(value));
  WriteSettings(s, control->registryBit);
  return STATUS_SUCCESS;
}

NTSTATUS HandleCameraControl(CameraDeviceExtension& extension, const PropertyRequest& request) {
  if (request.id != usb::KSPROPERTY_CAMERACONTROL_EXPOSURE) return STATUS_NOT_SUPPORTED;
  if (request.value.size() < cv::kSize) return STATUS_BUFFER_TOO_SMALL;
  CameraSettings& s = extension.Settings;
  if (!request.isSet) {
    AnswerControl(request, s.ExposureValue, s.AutoExposure == 1 ? kFlagsAuto : kFlagsManual,
                  kFlagsAuto | kFlagsManual);
    return STATUS_SUCCESS;
  }
  const uint32_t value = support::LoadLe32(request.value, cv::kValue);
  if (value > 1) return STATUS_NOT_SUPPORTED;
  const uint32_t flags = support::LoadLe32(request.value, cv::kFlags);
  s.AutoExposure = (flags & kFlagsAuto) != 0 ? 1 : 0;
  // The mode code names both automatic functions, so automatic white
  // balance keeps its state when exposure changes.
  SendCameraRequest(extension, camera_request::kMode,
                    ExposureWhiteBalanceMode(s.AutoExposure, s.AutoWhiteBalance), 0);
  s.ExposureValue = static_cast<int32_t>(value);
  WriteSettings(s, setting_bit::kAutoExposure);
  return STATUS_SUCCESS;
}

}  // namespace ksv::driver
