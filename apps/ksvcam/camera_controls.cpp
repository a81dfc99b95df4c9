#include "apps/ksvcam/camera_controls.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "apps/ksvcam/console.h"
#include "driver/property_layout.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/ks_property.h"
#include "platform/usbcamd/property_request.h"
#include "rig/camera_rig.h"
#include "support/byte_order.h"

namespace ksv::ksvcam {
namespace {

namespace usb = platform::usbcamd;
namespace layout = driver::property_layout;

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
  throw UsageError("no control '" + std::string(name) + "' (the controls: " + ControlNames() + ")");
}

int32_t ParseControlValue(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw UsageError("'" + std::string(text) + "' is not a whole number");
  }
  return value;
}

std::pair<const ControlDescription*, int32_t> ParseControlAssignment(std::string_view text) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    throw UsageError("--set takes NAME=VALUE, not '" + std::string(text) + "'");
  }
  return {&FindControl(text.substr(0, equals)), ParseControlValue(text.substr(equals + 1))};
}

ControlState ControlClient::Declared(const ControlDescription& control) const {
  ControlState state;
  state.control = &control;
  const usb::KSPROPERTY_ITEM* item = usb::FindPropertyItem(header_, *control.set, control.id);
  if (item == nullptr || item->Values == nullptr) {
    throw CommandFailure("the driver does not declare the control " + std::string(control.name));
  }
  for (uint32_t i = 0; i < item->Values->MembersListCount; ++i) {
    const usb::KSPROPERTY_MEMBERSLIST& list = item->Values->MembersList[i];
    if (list.MembersHeader.MembersFlags == usb::KSPROPERTY_MEMBER_STEPPEDRANGES &&
        list.MembersHeader.MembersCount > 0) {
      const auto* range = static_cast<const usb::KSPROPERTY_STEPPING_LONG*>(list.Members);
      state.minimum = range->SignedMinimum;
      state.maximum = range->SignedMaximum;
      state.step = static_cast<int32_t>(range->SteppingDelta);
    } else if (list.MembersHeader.MembersFlags == usb::KSPROPERTY_MEMBER_VALUES &&
               (list.MembersHeader.Flags & usb::KSPROPERTY_MEMBER_FLAG_DEFAULT) != 0 &&
               list.MembersHeader.MembersCount > 0) {
      state.defaultValue = *static_cast<const int32_t*>(list.Members);
    }
  }
  return state;
}

ControlState ControlClient::Get(const ControlDescription& control) {
  ControlState state = Declared(control);
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  const usb::PropertyAnswer answer =
      usb::SendDeviceProperty(camera_, header_, false, *control.set, control.id, bytes, bytes);
  if (!platform::kernel::NT_SUCCESS(answer.status)) {
    throw CommandFailure("reading " + std::string(control.name) + " failed with " +
                         rig::StatusText(answer.status));
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
    throw UsageError(std::string(control.name) + " takes " + std::to_string(declared.minimum) +
                     ".." + std::to_string(declared.maximum) + ", not " + std::to_string(value));
  }
  if (automatic.value_or(false) && !control.hasAuto) {
    throw UsageError(std::string(control.name) + " has no automatic mode");
  }
  std::vector<uint8_t> bytes(layout::control_value::kSize, 0);
  support::StoreLe32(bytes, layout::control_value::kValue, static_cast<uint32_t>(value));
  support::StoreLe32(bytes, layout::control_value::kFlags,
                  automatic.value_or(false) ? layout::kFlagsAuto : layout::kFlagsManual);
  const usb::PropertyAnswer answer =
      usb::SendDeviceProperty(camera_, header_, true, *control.set, control.id, bytes, bytes);
  if (!platform::kernel::NT_SUCCESS(answer.status)) {
    throw CommandFailure("setting " + std::string(control.name) + " failed with " +
                         rig::StatusText(answer.status));
  }
  return Get(control);
}

}  // namespace ksv::ksvcam
