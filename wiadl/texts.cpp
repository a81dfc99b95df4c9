#include "wiadl/texts.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace ksv::wiadl {

bool InstallEnglishTexts(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) return false;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream file(path, std::ios::binary);
  file << "[LOCALIZE_STR]\r\n";
  for (const Text& text : {kCameraInUse, kCameraAbsent, kDownloading, kCameraName, kInitialDevice}) {
    file << text.key << '=' << text.english << "\r\n";
  }
  file.close();
  if (!file) throw std::runtime_error("cannot write '" + path.string() + "'");
  return true;
}

}  // namespace ksv::wiadl
