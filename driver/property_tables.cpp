#include "driver/property_tables.h"

#include "driver/property_layout.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"

namespace ksv::driver {
namespace {

namespace usb = platform::usbcamd;

// One accepted range (stepping 1) and one default value of a control.
struct ControlValues {
  usb::KSPROPERTY_STEPPING_LONG range;
  int32_t defaultValue;
  usb::KSPROPERTY_MEMBERSLIST members[2];
  usb::KSPROPERTY_VALUES values;
};

// Members point into the object itself, so each one is built in place.
#define KSV_CONTROL_VALUES(name, minimum, maximum, fallback)                                      \
  const ControlValues name = {                                                                    \
      {1, 0, minimum, maximum},                                                                   \
      fallback,                                                                                   \
      {{{usb::KSPROPERTY_MEMBER_STEPPEDRANGES, sizeof(usb::KSPROPERTY_STEPPING_LONG), 1, 0},      \
        &name.range},                                                                             \
       {{usb::KSPROPERTY_MEMBER_VALUES, sizeof(int32_t), 1, usb::KSPROPERTY_MEMBER_FLAG_DEFAULT}, \
        &name.defaultValue}},                                                                     \
      {usb::KSPROPTYPESETID_General, usb::VT_I4, 0, 2, name.members}}

KSV_CONTROL_VALUES(kBrightnessValues, 0, 255, 128);
KSV_CONTROL_VALUES(kContrastValues, 0, 31, 0);
KSV_CONTROL_VALUES(kHueValues, 0, 719, 0);
KSV_CONTROL_VALUES(kSaturationValues, 0, 63, 32);
KSV_CONTROL_VALUES(kSharpnessValues, 0, 255, 120);
KSV_CONTROL_VALUES(kGammaValues, 0, 9, 0);
KSV_CONTROL_VALUES(kWhiteBalanceValues, 0, 20, 10);
KSV_CONTROL_VALUES(kExposureValues, 0, 1, 0);
#undef KSV_CONTROL_VALUES

constexpr uint32_t kControlSize = property_layout::control_value::kSize;

constexpr usb::KSPROPERTY_ITEM Control(uint32_t id, const ControlValues& values) {
  return {id, true, kControlSize, kControlSize, true, &values.values};
}

const usb::KSPROPERTY_ITEM kVideoProcAmpItems[] = {
    Control(usb::KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, kBrightnessValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_CONTRAST, kContrastValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_HUE, kHueValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_SATURATION, kSaturationValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_SHARPNESS, kSharpnessValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_GAMMA, kGammaValues),
    Control(usb::KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, kWhiteBalanceValues),
};

const usb::KSPROPERTY_ITEM kCameraControlItems[] = {
    Control(usb::KSPROPERTY_CAMERACONTROL_EXPOSURE, kExposureValues),
};

namespace fr = property_layout::frame_rate;
constexpr uint32_t kVideoControlSize = property_layout::video_control::kSize;
const usb::KSPROPERTY_ITEM kVideoControlItems[] = {
    {usb::KSPROPERTY_VIDEOCONTROL_CAPS, true, kVideoControlSize, kVideoControlSize, false, nullptr},
    {usb::KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, true, fr::kActualSize, fr::kActualSize, false,
     nullptr},
    // The list's size is the driver's to tell: an empty value buffer asks for it.
    {usb::KSPROPERTY_VIDEOCONTROL_FRAME_RATES, true, fr::kRequestSize, 0, false, nullptr},
    {usb::KSPROPERTY_VIDEOCONTROL_MODE, true, kVideoControlSize, kVideoControlSize, true, nullptr},
};

constexpr uint32_t kRecordSize = property_layout::camera_property_data::kSize;
constexpr usb::KSPROPERTY_ITEM Record(uint32_t id) {
  return {id, true, kRecordSize, kRecordSize, true, nullptr};
}
const usb::KSPROPERTY_ITEM kCameraItems[] = {
    Record(camera_property::kModeIndicator),
    Record(7),
    Record(8),
    Record(9),
    Record(11),
    Record(12),
    Record(camera_property::kVendorRead),
    Record(camera_property::kVendorWrite),
    Record(camera_property::kWaitForSnapshot),
};

template <size_t N>
constexpr uint32_t Count(const usb::KSPROPERTY_ITEM (&)[N]) {
  return static_cast<uint32_t>(N);
}

const usb::KSPROPERTY_SET kSets[kDevicePropertySetCount] = {
    {&kCameraPropertySet, Count(kCameraItems), kCameraItems},
    {&usb::PROPSETID_VIDCAP_VIDEOPROCAMP, Count(kVideoProcAmpItems), kVideoProcAmpItems},
    {&usb::PROPSETID_VIDCAP_CAMERACONTROL, Count(kCameraControlItems), kCameraControlItems},
    {&usb::PROPSETID_VIDCAP_VIDEOCONTROL, Count(kVideoControlItems), kVideoControlItems},
};

}  // namespace

const usb::KSPROPERTY_SET* DevicePropertySets() { return kSets; }

}  // namespace ksv::driver
