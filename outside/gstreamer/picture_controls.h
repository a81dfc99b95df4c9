// The picture controls the source offers as properties and through
// GstColorBalance: brightness, contrast, hue and saturation, read and
// changed through the driver's property requests, which keep every change
// in the registry as `ksvcam controls` does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/usbcamd/camera_stack.h"

namespace ksv::outside::gstreamer {

struct PictureControl {
  const char* name;   // the property's name, and the control's
  const char* label;  // GstColorBalance's channel name
  int32_t minimum;    // the driver's declared range
  int32_t maximum;
};

inline constexpr std::array<PictureControl, 4> kPictureControls{{
    {"brightness", "BRIGHTNESS", 0, 255},
    {"contrast", "CONTRAST", 0, 31},
    {"hue", "HUE", 0, 719},
    {"saturation", "SATURATION", 0, 63},
}};

// The control's value now; nothing when the driver refuses.
std::optional<int32_t> ReadControl(platform::usbcamd::CameraStack& camera, size_t control);
// Sets it (manual); false when the driver refuses or the value is out of range.
bool WriteControl(platform::usbcamd::CameraStack& camera, size_t control, int32_t value);

}  // namespace ksv::outside::gstreamer
