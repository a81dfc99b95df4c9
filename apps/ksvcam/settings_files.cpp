#include "apps/ksvcam/settings_files.h"

#include <string>

#include "pages/texts.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {

std::filesystem::path InstallSettingsFiles(const std::filesystem::path& root) {
  const std::filesystem::path folder = root / "system32";
  std::filesystem::create_directories(folder);
  std::string text = "[LOCALIZE_STR]\n";
  for (const pages::EnglishText& entry : pages::EnglishTexts()) {
    text += std::string(entry.key) + "=" + entry.text + "\n";
  }
  const std::filesystem::path path = folder / kSettingsLocalizationName;
  picture::WriteWholeFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  return path;
}

}  // namespace ksv::ksvcam
