// The pages' texts: each read from section "LOCALIZE_STR" of the
// localization file (at most 256 characters), with the built-in English
// text as the default.
#pragma once

#include <string>
#include <vector>

namespace ksv::pages {

std::string Localized(const std::string& file, const char* key, const char* english);

// Tab and page title `index`: 0 "Device Settings", 1 "Camera Controls",
// 2 "Anti Flicker"; any other index "NULL".
std::string PageTitle(const std::string& file, int index);

// Every key the pages read, with its English text, in the order a
// localization file lists them (what an installer writes for English).
struct EnglishText {
  const char* key;
  const char* text;
};
std::vector<EnglishText> EnglishTexts();

}  // namespace ksv::pages
