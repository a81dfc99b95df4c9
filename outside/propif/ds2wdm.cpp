// The property library's calls: a handle names the camera stack it reaches
// (the one this process already runs, or one it started itself), and each
// call goes through the same property client as `ksvcam controls`.
#include <memory>
#include <optional>

#include "include/oksv1if.h"
#include "outside/camprop/control_client.h"
#include "platform/hardware/device_list.h"
#include "platform/registry/registry_store.h"
#include "platform/usbcamd/camera_stack.h"
#include "platform/usbcamd/ks_guids.h"
#include "platform/usbcamd/property_layout.h"
#include "support/no_throw.h"

namespace usb = ksv::platform::usbcamd;
using ksv::outside::camprop::ControlClient;
using ksv::platform::kernel::GUID;

struct Ds2WdmCamera {
  uint64_t serial = 0;                     // the running stack the handle reaches
  std::unique_ptr<usb::CameraStack> own;  // started by Init when the process ran none
};

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kRefused = 1;

// Where the mode is kept: the driver's key, which the driver never reads
// this value from.
constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";
constexpr const char* kFlickerValue = "Anti Flicker";

usb::UsbDevice* MachineCamera() {
  for (ksv::platform::hardware::HardwareDevice* device : ksv::platform::hardware::EnumerateDevices().devices) {
    if (auto* camera = static_cast<usb::UsbDevice*>(device->Function(usb::kUsbDeviceInterface))) return camera;
  }
  return nullptr;
}

// Runs `use` with a property client on the handle's camera; false when the
// handle is null or its camera has gone.
template <typename Use>
bool WithClient(DS2WDM_HANDLE handle, Use&& use) {
  if (handle == nullptr) return false;
  return usb::CameraStack::UseHosted(handle->serial, [&](usb::CameraStack& stack) {
    ControlClient client(stack.Streams().StreamHeader,
                         [&stack](bool isSet, const GUID& set, uint32_t id, std::span<const uint8_t> input,
                                  std::span<uint8_t> value) { return stack.Property(isSet, set, id, input, value); });
    use(client);
  });
}

int32_t GetRange(DS2WDM_HANDLE handle, const GUID& set, int32_t property, DS2WDM_RANGE* range) {
  if (range == nullptr || property < 0) return kRefused;
  int32_t result = kRefused;
  WithClient(handle, [&](ControlClient& client) {
    const auto declared = client.Range(set, static_cast<uint32_t>(property));
    if (!declared) return;
    const auto reading = client.Read(set, static_cast<uint32_t>(property));
    *range = DS2WDM_RANGE{declared->minimum, declared->maximum, declared->step, declared->defaultValue,
                          reading && (reading->capabilities & usb::property_layout::kFlagsAuto) != 0 ? 1 : 0};
    result = kOk;
  });
  return result;
}

int32_t Get(DS2WDM_HANDLE handle, const GUID& set, int32_t property, int32_t* value, int32_t* flags) {
  if (value == nullptr || flags == nullptr || property < 0) return kRefused;
  int32_t result = kRefused;
  WithClient(handle, [&](ControlClient& client) {
    if (const auto reading = client.Read(set, static_cast<uint32_t>(property))) {
      *value = reading->value;
      *flags = static_cast<int32_t>(reading->flags);
      result = kOk;
    }
  });
  return result;
}

int32_t Set(DS2WDM_HANDLE handle, const GUID& set, int32_t property, int32_t value, int32_t flags) {
  if (property < 0) return kRefused;
  int32_t result = kRefused;
  WithClient(handle, [&](ControlClient& client) {
    if (client.Write(set, static_cast<uint32_t>(property), value, static_cast<uint32_t>(flags))) result = kOk;
  });
  return result;
}

}  // namespace

extern "C" {

KSV_EXPORT DS2WDM_HANDLE DS2WDM_Init(void) {
  return ksv::support::NoThrow<DS2WDM_HANDLE>(nullptr, []() -> DS2WDM_HANDLE {
    auto camera = std::make_unique<Ds2WdmCamera>();
    camera->serial = usb::CameraStack::HostedSerial();
    if (camera->serial == 0) {
      usb::UsbDevice* device = MachineCamera();
      if (device == nullptr) return nullptr;
      std::string error;
      camera->own = usb::CameraStack::Start(*device, &error);
      if (!camera->own) return nullptr;
      camera->serial = usb::CameraStack::HostedSerial();
    }
    return camera.release();
  });
}

KSV_EXPORT void DS2WDM_Reset(DS2WDM_HANDLE handle) {
  ksv::support::NoThrowVoid([handle] { delete handle; });
}

KSV_EXPORT int32_t DS2WDM_GetVideoProcAmpRange(DS2WDM_HANDLE handle, int32_t property, DS2WDM_RANGE* range) {
  return ksv::support::NoThrow(kRefused, [&] { return GetRange(handle, usb::PROPSETID_VIDCAP_VIDEOPROCAMP, property, range); });
}

KSV_EXPORT int32_t DS2WDM_GetVideoProcAmp(DS2WDM_HANDLE handle, int32_t property, int32_t* value, int32_t* flags) {
  return ksv::support::NoThrow(kRefused, [&] { return Get(handle, usb::PROPSETID_VIDCAP_VIDEOPROCAMP, property, value, flags); });
}

KSV_EXPORT int32_t DS2WDM_SetVideoProcAmp(DS2WDM_HANDLE handle, int32_t property, int32_t value, int32_t flags) {
  return ksv::support::NoThrow(kRefused, [&] { return Set(handle, usb::PROPSETID_VIDCAP_VIDEOPROCAMP, property, value, flags); });
}

KSV_EXPORT int32_t DS2WDM_GetCameraControlRange(DS2WDM_HANDLE handle, int32_t property, DS2WDM_RANGE* range) {
  return ksv::support::NoThrow(kRefused, [&] { return GetRange(handle, usb::PROPSETID_VIDCAP_CAMERACONTROL, property, range); });
}

KSV_EXPORT int32_t DS2WDM_GetCameraControl(DS2WDM_HANDLE handle, int32_t property, int32_t* value, int32_t* flags) {
  return ksv::support::NoThrow(kRefused, [&] { return Get(handle, usb::PROPSETID_VIDCAP_CAMERACONTROL, property, value, flags); });
}

KSV_EXPORT int32_t DS2WDM_SetCameraControl(DS2WDM_HANDLE handle, int32_t property, int32_t value, int32_t flags) {
  return ksv::support::NoThrow(kRefused, [&] { return Set(handle, usb::PROPSETID_VIDCAP_CAMERACONTROL, property, value, flags); });
}

KSV_EXPORT int32_t DS2WDM_Get_FLICKER(DS2WDM_HANDLE handle, int32_t* mode) {
  return ksv::support::NoThrow(kRefused, [&] {
    if (handle == nullptr || mode == nullptr) return kRefused;
    const std::optional<uint32_t> kept = ksv::platform::RegistryStore::OpenMachineHive()->GetDword(kDriverKey, kFlickerValue);
    *mode = kept && *kept <= DS2WDM_FLICKER_OUTDOOR ? static_cast<int32_t>(*kept) : DS2WDM_FLICKER_50HZ;
    return kOk;
  });
}

KSV_EXPORT int32_t DS2WDM_Set_FLICKER(DS2WDM_HANDLE handle, int32_t mode) {
  return ksv::support::NoThrow(kRefused, [&] {
    if (handle == nullptr || mode < DS2WDM_FLICKER_50HZ || mode > DS2WDM_FLICKER_OUTDOOR) return kRefused;
    ksv::platform::RegistryStore::OpenMachineHive()->SetDword(kDriverKey, kFlickerValue, static_cast<uint32_t>(mode));
    return kOk;
  });
}

}  // extern "C"
