// The camera settings pages' files under the system folder, as an
// installer puts them there: the localization files of both hosts
// ("OKSV1Dep.loc", "OKSV1Vex.loc"), with the English texts, and the
// video-capture extension's profile ("OKSV1Vex.pro": the camera's
// DEVICE_NAME and VID_PID); and the extension's registration for the
// video-capture driver mapper.
#pragma once

#include <filesystem>
#include <vector>

namespace ksv::ksvcam {

inline constexpr const char* kSettingsLocalizationName = "OKSV1Dep.loc";
// The camera's VID/PID text as its installer writes it; the pages keep it
// and never use it (the simulated camera has no USB ids of its own).
inline constexpr const char* kCameraVidPid = "VID_0000&PID_0000";

// Writes them into $ROOT/system32 (replacing them); returns their paths.
// Throws std::runtime_error when one cannot be written.
std::vector<std::filesystem::path> InstallSettingsFiles(const std::filesystem::path& root);

// The extension's module (lib/ksv/OKSV1Vex.so beside ksvcam's bin/).
std::filesystem::path SettingsExtensionModule();
// Registers it for the mapper; throws CommandFailure when it is missing.
void RegisterSettingsExtension();

}  // namespace ksv::ksvcam
