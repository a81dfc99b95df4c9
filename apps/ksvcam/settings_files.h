// The camera settings pages' files under the system folder, as an
// installer puts them there: the localization file of the scanner-interface
// host ("OKSV1Dep.loc"), with the English texts.
#pragma once

#include <filesystem>

namespace ksv::ksvcam {

inline constexpr const char* kSettingsLocalizationName = "OKSV1Dep.loc";
// The camera's VID/PID text as its installer writes it; the pages keep it
// and never use it (the simulated camera has no USB ids of its own).
inline constexpr const char* kCameraVidPid = "VID_0000&PID_0000";

// Writes $ROOT/system32/OKSV1Dep.loc (replacing it); returns its path.
// Throws std::runtime_error when it cannot be written.
std::filesystem::path InstallSettingsFiles(const std::filesystem::path& root);

}  // namespace ksv::ksvcam
