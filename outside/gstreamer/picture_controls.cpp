#include "outside/gstreamer/picture_controls.h"

#include <exception>

#include "outside/camprop/control_client.h"

namespace ksv::outside::gstreamer {
namespace {

namespace camprop = outside::camprop;
namespace usb = platform::usbcamd;

camprop::ControlClient ClientOf(usb::CameraStack& camera) {
  return camprop::ControlClient(
      camera.Streams().StreamHeader,
      [&camera](bool isSet, const platform::kernel::GUID& set, uint32_t id,
                std::span<const uint8_t> input, std::span<uint8_t> value) {
        return camera.Property(isSet, set, id, input, value);
      });
}

}  // namespace

std::optional<int32_t> ReadControl(usb::CameraStack& camera, size_t control) {
  try {
    return ClientOf(camera).Get(camprop::FindControl(kPictureControls.at(control).name)).value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool WriteControl(usb::CameraStack& camera, size_t control, int32_t value) {
  try {
    ClientOf(camera).Set(camprop::FindControl(kPictureControls.at(control).name), value);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace ksv::outside::gstreamer
