#include "common/profile_text.h"

#include <cstring>

#include "platform/profile/profile.h"

namespace ksv::common {

std::optional<std::string> ProfileText(const std::string& file, const char* section,
                                       const char* key) {
  char text[260];
  GetPrivateProfileStringA(section, key, kMissingText, text, sizeof text, file.c_str());
  if (std::strcmp(text, kMissingText) == 0) return std::nullopt;
  return std::string(text);
}

std::string LocalizedText(const std::string& file, const char* key, const char* englishDefault) {
  return ProfileText(file, "LOCALIZE_STR", key).value_or(englishDefault);
}

}  // namespace ksv::common
