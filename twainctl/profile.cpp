#include "twainctl/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/profile_text.h"

namespace ksv::twainctl {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A profile integer: the number its text starts with; `fallback` when the
// key is missing.
int32_t Number(const std::string& file, const char* section, const char* key, int32_t fallback) {
  const std::optional<std::string> text = common::ProfileText(file, section, key);
  if (!text) return fallback;
  return static_cast<int32_t>(std::strtol(text->c_str(), nullptr, 0));
}

// What follows the last slash or backslash.
std::string FileNamePart(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::optional<DataSourceFiles> FindDataSource(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() > 3 && Lower(name.substr(name.size() - 3)) == ".ds" && entry->is_regular_file(error)) {
      found.push_back(name);
    }
  }
  if (found.empty()) return std::nullopt;
  std::sort(found.begin(), found.end());
  const std::string base = folder + found.front().substr(0, found.front().size() - 2);
  return DataSourceFiles{base + "pro", base + "loc", base + "JPG"};
}

uint32_t PackFourCc(const std::string& text) {
  uint32_t code = 0;
  for (size_t i = 0; i < 4 && i < text.size(); ++i) {
    code |= static_cast<uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return code;
}

std::optional<Profile> ReadProfile(const std::string& file, const std::string& folder,
                                   const std::string& windowsFolder) {
  Profile profile;
  const auto required = [&file](const char* section, const char* key, std::string& into) {
    std::optional<std::string> text = common::ProfileText(file, section, key);
    if (text) into = std::move(*text);
    return text.has_value();
  };
  if (!required("TWAIN_DS", "PRODNAME", profile.productName) ||
      !required("USB_CAMERA", "VID_PID", profile.vidPid) ||
      !required("USB_CAMERA", "DEVICE_NAME", profile.deviceName) ||
      !required("VFW_LOC", "VFW_LOC_NAME", profile.locName)) {
    return std::nullopt;
  }
  profile.cameraDownload = Number(file, "USB_CAMERA", "DOWNLOAD_DSC", 0) != 0;
  profile.clipWidth = Number(file, "USB_CAMERA", "VIDEO_CLIP_WIDTH", 1);
  profile.clipHeight = Number(file, "USB_CAMERA", "VIDEO_CLIP_HEIGHT", 1);
  profile.burstWidth = Number(file, "USB_CAMERA", "BURST_WIDTH", 1);
  profile.burstHeight = Number(file, "USB_CAMERA", "BURST_HEIGHT", 1);
  if (!common::ProfileText(file, "VIDEO_FORMAT", "WIDTH") || !common::ProfileText(file, "VIDEO_FORMAT", "HEIGHT")) {
    return std::nullopt;
  }
  profile.previewWidth = Number(file, "VIDEO_FORMAT", "WIDTH", 0);
  profile.previewHeight = Number(file, "VIDEO_FORMAT", "HEIGHT", 0);
  profile.fourCc = PackFourCc(common::ProfileText(file, "VIDEO_FORMAT", "FOUR_CC").value_or(""));
  profile.watchButton = Number(file, "SNAPSHOT_BTN", "CAM_SNAP_BTN", 0) != 0;
  profile.snapWidth = Number(file, "SNAPSHOT_BTN", "SNAP_WIDTH", 640);
  profile.snapHeight = Number(file, "SNAPSHOT_BTN", "SNAP_HEIGHT", 480);

  profile.rawMode = Number(file, "RAW_DATA", "MODE", 0);
  if (profile.rawMode != 0) {
    if (const auto name = common::ProfileText(file, "RAW_DATA", "FILE_NAME")) {
      // A full path with a drive names a file of the drivers' folder; any
      // other value lies in the control's folder.
      if (name->size() >= 3 && name->compare(1, 2, ":\\") == 0) {
        profile.rawFile = windowsFolder + "/system32/drivers/" + FileNamePart(*name);
      } else {
        profile.rawFile = folder + *name;
      }
    }
    if (const auto type = common::ProfileText(file, "RAW_DATA", "RAW_DATA_TYPE");
        type && !type->empty() && (*type)[0] >= '0' && (*type)[0] <= '3') {
      profile.rawDataType = (*type)[0] - '0';
    }
  }

  if (const auto logo = common::ProfileText(file, "COMPANY_LOGO", "LOGO_BMP_FILE")) profile.logoPath = folder + *logo;
  if (const auto mask = common::ProfileText(file, "COMPANY_LOGO", "LOGO_MASK_FILE")) {
    profile.logoMaskPath = folder + *mask;
  }
  // A logo without its position is not drawn.
  const auto x = common::ProfileText(file, "COMPANY_LOGO", "LOGO_PT_X");
  const auto y = common::ProfileText(file, "COMPANY_LOGO", "LOGO_PT_Y");
  if (x && y) {
    profile.logoX = static_cast<int32_t>(std::strtol(x->c_str(), nullptr, 0));
    profile.logoY = static_cast<int32_t>(std::strtol(y->c_str(), nullptr, 0));
  } else {
    profile.logoPath.clear();
  }
  return profile;
}

}  // namespace ksv::twainctl
