#include "apps/ksvcam/settings_files.h"

#include <string>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/media_setup.h"
#include "pages/texts.h"
#include "platform/vfw/video_source.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

void Write(const std::filesystem::path& path, const std::string& text) {
  picture::WriteWholeFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace

std::vector<std::filesystem::path> InstallSettingsFiles(const std::filesystem::path& root) {
  const std::filesystem::path folder = root / "system32";
  std::filesystem::create_directories(folder);
  std::string texts = "[LOCALIZE_STR]\n";
  for (const pages::EnglishText& entry : pages::EnglishTexts()) {
    texts += std::string(entry.key) + "=" + entry.text + "\n";
  }
  const std::vector<std::filesystem::path> paths = {folder / kSettingsLocalizationName, folder / "OKSV1Vex.loc",
                                                    folder / "OKSV1Vex.pro"};
  Write(paths[0], texts);
  Write(paths[1], texts);
  Write(paths[2], std::string("[USB_CAMERA]\nDEVICE_NAME=") + kCameraDriverName + "\nVID_PID=" + kCameraVidPid + "\n");
  return paths;
}

std::filesystem::path SettingsExtensionModule() {
  const std::filesystem::path folder = ModuleFolder();
  return folder.empty() ? std::filesystem::path() : folder / "OKSV1Vex.so";
}

void RegisterSettingsExtension() {
  const std::filesystem::path module = SettingsExtensionModule();
  std::error_code error;
  if (module.empty() || !std::filesystem::is_regular_file(module, error)) {
    throw CommandFailure("the settings extension's module '" + module.string() + "' is missing");
  }
  platform::vfw::RegisterExtension(module);
}

}  // namespace ksv::ksvcam
