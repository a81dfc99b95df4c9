// Stand-in of the platform's video-capture driver mapper, as far as its
// "Video Source" dialog goes: it loads the camera's extension library from
// the path registered for it, asks it for pages (VFWWDMExtension) and shows
// them in a modal property sheet after its own pages: "Video Format" (the
// media framework's stream format page over the capture pin of the camera
// this process runs), then, unless the extension's answer hides them, its
// "Video Proc Amp" and "Camera Control" pages (control_pages.h).
//
// Where the extension is named: the REG_SZ value "ExtensionDLL" under the
// machine key of the camera's driver (usbcamd::kCameraDriverKey), as an
// installer (`ksvcam setup`) writes it.
#pragma once

#include <filesystem>
#include <cstdint>
#include <optional>

#include "platform/ui/user32.h"

namespace ksv::platform::vfw {

inline constexpr const char* kExtensionValue = "ExtensionDLL";

// The flags of the extension's answer, as the platform documents them.
inline constexpr uint32_t kHideSettingsPage = 0x00000001;
inline constexpr uint32_t kHideCameraControlPage = 0x00000004;

// Throws RegistryError when the store cannot be written.
void RegisterExtension(const std::filesystem::path& module);
// False when none was registered.
bool UnregisterExtension();
std::optional<std::filesystem::path> RegisteredExtension();

// What the extension answered, for the caller's messages.
struct VideoSourceOutcome {
  intptr_t result = -1;          // the sheet's: 1 OK, 0 Cancel, -1 not shown
  uint32_t extensionFlags = 0;   // VFWWDMExtension's result; 0 without one
  int extensionPages = 0;        // the pages it added
  int pages = 0;                 // all the sheet showed
};

// Shows the sheet modally (its pages: the mapper's, then the extension's).
// An extension that is not registered, does not load or adds nothing leaves
// the mapper's own pages alone. No camera running: no "Video Format" page.
VideoSourceOutcome ShowVideoSourceDialog(HWND owner);

}  // namespace ksv::platform::vfw
