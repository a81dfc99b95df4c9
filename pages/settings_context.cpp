#include "pages/settings_context.h"

namespace ksv::pages {

bool SettingsContext::Open(const PropertyCalls& calls) {
  host.calls = &calls;
  host.handle = calls.init();
  if (host.handle == nullptr) return false;
  device = std::make_unique<DeviceSettingsPage>(host);
  camera = std::make_unique<CameraControlsPage>(host);
  flicker = std::make_unique<FlickerPage>(host);
  return true;
}

void SettingsContext::Close() {
  device.reset();
  camera.reset();
  flicker.reset();
  if (host.handle != nullptr) host.calls->reset(host.handle);
  host.handle = nullptr;
}

}  // namespace ksv::pages
