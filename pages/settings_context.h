// One process's settings: the camera's names as the host gave them (kept,
// not used by the pages), the localization file, the property handle and
// the three pages. Created by a host and released on close or unload.
#pragma once

#include <memory>
#include <string>

#include "pages/device_settings_page.h"
#include "pages/flicker_page.h"

namespace ksv::pages {

struct SettingsContext {
  SettingsContext() = default;
  ~SettingsContext() { Close(); }
  SettingsContext(const SettingsContext&) = delete;
  SettingsContext& operator=(const SettingsContext&) = delete;

  // Opens the property handle with `calls` and makes the pages; false,
  // with everything released, when the handle or a page cannot be had.
  bool Open(const PropertyCalls& calls);
  // Destroys the pages and resets the handle.
  void Close();

  char deviceName[128] = {};
  char vidPid[260] = {};
  std::string modulePath;   // the library's own file (the video-capture host)
  std::string profilePath;  // beside it, with the extension "pro"
  PageHost host;            // the calls, the handle, the localization file
  std::unique_ptr<DeviceSettingsPage> device;
  std::unique_ptr<CameraControlsPage> camera;
  std::unique_ptr<FlickerPage> flicker;
};

// Copies `text` into `field`, cut to fit and zero-terminated.
template <size_t N>
void CopyName(char (&field)[N], const char* text) {
  size_t i = 0;
  for (; text != nullptr && text[i] != '\0' && i + 1 < N; ++i) field[i] = text[i];
  field[i] = '\0';
}

}  // namespace ksv::pages
