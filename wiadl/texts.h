// The download library's texts: the keys of its localization file (section
// LOCALIZE_STR of "OKSV1Dld.LOC" beside the library) and their English
// defaults, which an installer also writes into that file.
#pragma once

#include <filesystem>

namespace ksv::wiadl {

struct Text {
  const char* key;
  const char* english;
};

inline constexpr Text kCameraInUse{"ID_LOC_CAMINUSE", "Camera is used by another application"};
inline constexpr Text kCameraAbsent{"ID_LOC_CAMNOTEXIST", "Camera is not connected to PC"};
inline constexpr Text kDownloading{"ID_STR_DNLOAD", "Downloading..."};
inline constexpr Text kCameraName{"ID_LOC_CAMERA_NAME", "Digital Camera"};
inline constexpr Text kInitialDevice{"ID_LOC_INITIAL_DEVICE", "Initial Device..."};

// The localization file's name beside the library.
inline constexpr const char* kLocalizationFileName = "OKSV1Dld.LOC";

// Writes the localization file with the English texts at `path`, unless a
// file is there already (a translation is kept). True when it was written.
// Throws std::runtime_error when it cannot be written.
bool InstallEnglishTexts(const std::filesystem::path& path);

}  // namespace ksv::wiadl
