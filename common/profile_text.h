// Profile and localization file lookups as the user-mode libraries make
// them: every lookup has the default text "NULL", which counts as missing.
#pragma once

#include <optional>
#include <string>

namespace ksv::common {

// The default text of every profile lookup.
inline constexpr const char* kMissingText = "NULL";

// The value of `key` in `section` of the profile file `file` (at most 259
// characters), or nothing when it is absent or reads as "NULL".
std::optional<std::string> ProfileText(const std::string& file, const char* section,
                                       const char* key);

// The text `key` of section "LOCALIZE_STR" of the localization file `file`,
// else the built-in `englishDefault`.
std::string LocalizedText(const std::string& file, const char* key, const char* englishDefault);

}  // namespace ksv::common
