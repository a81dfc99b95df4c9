// The data source's files as the control reads them: the first "*.DS" file
// in the control's folder names the profile (".pro"), the localization
// file (".loc") and the picture file (".JPG") beside it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ksv::twainctl {

struct DataSourceFiles {
  std::string profile;
  std::string localization;
  std::string picture;
};

// `folder` ends in "/". Nothing when the folder holds no "*.DS" file (any
// letter case), else the first one's files in name order.
std::optional<DataSourceFiles> FindDataSource(const std::string& folder);

struct Profile {
  std::string productName;
  std::string vidPid;
  std::string deviceName;
  std::string locName;  // the settings pages' localization file name
  bool cameraDownload = false;
  int32_t clipWidth = 1, clipHeight = 1;
  int32_t burstWidth = 1, burstHeight = 1;
  int32_t previewWidth = 0, previewHeight = 0;
  uint32_t fourCc = 0;
  bool watchButton = false;
  int32_t snapWidth = 640, snapHeight = 480;
  int32_t rawMode = 0;
  std::string rawFile;
  double rawDataType = -1.0;
  std::string logoPath, logoMaskPath;
  int32_t logoX = 0, logoY = 0;
};

// Reads the profile file `file`; `folder` is the control's folder (ending
// in "/") and `windowsFolder` the system's Windows folder. Nothing when a
// required key (product name, VID_PID, DEVICE_NAME, VFW_LOC_NAME, the
// preview WIDTH and HEIGHT) is missing.
std::optional<Profile> ReadProfile(const std::string& file, const std::string& folder,
                                   const std::string& windowsFolder);

// The first four characters of `text` packed little-endian, the first in
// the low byte.
uint32_t PackFourCc(const std::string& text);

}  // namespace ksv::twainctl
