#include "outside/camprop/control_client.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/kernel/status_text.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"
#include "platform/usbcamd/property_layout.h"
#include "platform/usbcamd/property_request.h"
#include "support/byte_order.h"

namespace ksv::outside::camprop {
namespace {

namespace usb = platform::usbcamd;
namespace layout = usb::property_layout;

std::string Folded(std::string_view name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_' && c != ' ') {
      folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return folded;
}

std::string ControlNames() {
  std::string names;
  for (const ControlDescription& control : CameraControlList()) {
    names += (names.empty() ? "" : ", ") + std::string(control.name);
  }
  return names;
}

}  // namespace

const std::vector<ControlDescription>& CameraControlList() {
  static const std::vector<ControlDescription> controls = {
      {"brightness", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS,
       false},
      {"contrast", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_CONTRAST,
       false},
      {"hue", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_HUE, false},
      {"saturation", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_SATURATION,
       false},
      {"sharpness", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_SHARPNESS,
       false},
      {"gamma", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP, usb::KSPROPERTY_VIDEOPROCAMP_GAMMA, false},
      {"white-balance", &usb::PROPSETID_VIDCAP_VIDEOPROCAMP,
       usb::KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, true},
      {"exposure", &usb::PROPSETID_VIDCAP_CAMERACONTROL, usb::KSPROPERTY_CAMERACONTROL_EXPOSURE,
       true},
  };
  return controls;
}

const ControlDescription& FindControl(std::string_view name) {
  for (const ControlDescription& control : CameraControlList()) {
    if (Folded(control.name) == Folded(name)) return control;
  }
  throw BadControlRequest("no control '" + std::string(name) + "' (the controls: " + ControlNames() + ")");
}

ControlClient::ControlClient(usb::UsbCamdCamera& camera, const usb::HW_STREAM_HEADER& header)
    : header_(header),
      send_([&camera, &header](bool isSet, const platform::kernel::GUID& set, uint32_t id,
                               std::span<const uint8_t> input, std::span<uint8_t> value) {
        return usb::SendDeviceProperty(camera, header, isSet, set, id, input, value);
      }) {}

std::optional<PropertyRange> ControlClient::Range(const platform::kernel::GUID& set,
                                                  uint32_t id) const {
  const usb::KSPROPERTY_ITEM* item = usb::FindPropertyItem(header_, set, id);
  if (item == nullptr || item->Values == nullptr) return std::nullopt;
  PropertyRange range;
  for (uint32_t i = 0; i < item->Values->MembersListCount; ++i) {
    const usb::KSPROPERTY_MEMBERSLIST& list = item->Values->MembersList[i];
    if (list.MembersHeader.MembersFlags == usb::KSPROPERTY_MEMBER_STEPPEDRANGES &&
        list.MembersHeader.MembersCount > 0) {
      const auto* stepping = static_cast<const usb::KSPROPERTY_STEPPING_LONG*>(list.Members);
      range.minimum = stepping->SignedMinimum;
      range.maximum = stepping->SignedMaximum;
      range.step = static_cast<int32_t>(stepping->SteppingDelta);
    } else if (list.MembersHeader.MembersFlags == usb::KSPROPERTY_MEMBER_VALUES &&
               (list.MembersHeader.Flags & usb::KSPROPERTY_MEMBER_FLAG_DEFAULT) != 0 &&
               list.MembersHeader.MembersCount > 0) {
      range.defaultValue = *static_cast<const int32_t*>(list.Members);
    }
  }
  return range;
}

std::optional<PropertyReading> ControlClient::Read(const platform::kernel::GUID& set, uint32_t id) {
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  const usb::PropertyAnswer answer = send_(false, set, id, bytes, bytes);
  if (!platform::kernel::NT_SUCCESS(answer.status)) return std::nullopt;
  return PropertyReading{support::LoadLeInt32(bytes, layout::control_value::kValue),
                         support::LoadLe32(bytes, layout::control_value::kFlags),
                         support::LoadLe32(bytes, layout::control_value::kCapabilities)};
}

bool ControlClient::Write(const platform::kernel::GUID& set, uint32_t id, int32_t value,
                          uint32_t flags) {
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  support::StoreLe32(bytes, layout::control_value::kValue, static_cast<uint32_t>(value));
  support::StoreLe32(bytes, layout::control_value::kFlags, flags);
  return platform::kernel::NT_SUCCESS(send_(true, set, id, bytes, bytes).status);
}

ControlState ControlClient::Declared(const ControlDescription& control) const {
  const std::optional<PropertyRange> range = Range(*control.set, control.id);
  if (!range) {
    throw DriverRefusal("the driver does not declare the control " + std::string(control.name));
  }
  ControlState state;
  state.control = &control;
  state.minimum = range->minimum;
  state.maximum = range->maximum;
  state.step = range->step;
  state.defaultValue = range->defaultValue;
  return state;
}

ControlState ControlClient::Get(const ControlDescription& control) {
  ControlState state = Declared(control);
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  const usb::PropertyAnswer answer = send_(false, *control.set, control.id, bytes, bytes);
  if (!platform::kernel::NT_SUCCESS(answer.status)) {
    throw DriverRefusal("reading " + std::string(control.name) + " failed with " +
                         platform::kernel::StatusText(answer.status));
  }
  state.value = support::LoadLeInt32(bytes, layout::control_value::kValue);
  state.automatic =
      (support::LoadLe32(bytes, layout::control_value::kFlags) & layout::kFlagsAuto) != 0;
  return state;
}

std::vector<ControlState> ControlClient::List() {
  std::vector<ControlState> states;
  for (const ControlDescription& control : CameraControlList()) states.push_back(Get(control));
  return states;
}

ControlState ControlClient::Set(const ControlDescription& control, int32_t value,
                                std::optional<bool> automatic) {
  const ControlState declared = Declared(control);
  if (value < declared.minimum || value > declared.maximum) {
    throw BadControlRequest(std::string(control.name) + " takes " + std::to_string(declared.minimum) +
                     ".." + std::to_string(declared.maximum) + ", not " + std::to_string(value));
  }
  if (automatic.value_or(false) && !control.hasAuto) {
    throw BadControlRequest(std::string(control.name) + " has no automatic mode");
  }
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  support::StoreLe32(bytes, layout::control_value::kValue, static_cast<uint32_t>(value));
  support::StoreLe32(bytes, layout::control_value::kFlags,
                  automatic.value_or(false) ? layout::kFlagsAuto : layout::kFlagsManual);
  const usb::PropertyAnswer answer = send_(true, *control.set, control.id, bytes, bytes);
  if (!platform::kernel::NT_SUCCESS(answer.status)) {
    throw DriverRefusal("setting " + std::string(control.name) + " failed with " +
                         platform::kernel::StatusText(answer.status));
  }
  return Get(control);
}

}  // namespace ksv::outside::camprop
