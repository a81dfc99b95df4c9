#include "pages/texts.h"

#include "pages/page_templates.h"
#include "platform/profile/profile.h"

namespace ksv::pages {

std::string Localized(const std::string& file, const char* key, const char* english) {
  char text[257] = {};
  GetPrivateProfileStringA("LOCALIZE_STR", key, english, text, sizeof text, file.c_str());
  return text;
}

std::string PageTitle(const std::string& file, int index) {
  switch (index) {
    case 0: return Localized(file, "LOC_ID_DeviceSettings", "Device Settings");
    case 1: return Localized(file, "LOC_ID_CameraControls", "Camera Controls");
    case 2: return Localized(file, "LOC_ID_AntiFlicker", "Anti Flicker");
    default: return Localized(file, "LOC_ID_NULL", "NULL");
  }
}

std::vector<EnglishText> EnglishTexts() {
  std::vector<EnglishText> texts = {
      {"LOC_ID_DeviceSettings", "Device Settings"}, {"LOC_ID_CameraControls", "Camera Controls"},
      {"LOC_ID_AntiFlicker", "Anti Flicker"},       {"LOC_ID_SetDefault", "Set Default"},
      {"LOC_ID_Value", "Value"},                    {"LOC_ID_Auto", "Auto"},
      {"LOC_ID_STR_ANTIFLICKER", "Anti Flicker"},   {"LOC_ID_50HZ", "50 Hz"},
      {"LOC_ID_60HZ", "60 Hz"},                     {"LOC_ID_OUTDOOR", "Outdoor"},
  };
  for (const auto rows : {DeviceSettingsRows(), CameraControlRows()}) {
    for (const RowSpec& row : rows) texts.push_back({row.key, row.english});
  }
  return texts;
}

}  // namespace ksv::pages
