#include "common/driver_files.h"

#include <stdexcept>
#include <string>

#include "platform/version/version.h"
#include "support/picture/whole_file.h"

namespace ksv::common {

namespace {

namespace fs = std::filesystem;

struct DriverFile {
  const char* name;
  const char* description;
};

constexpr DriverFile kDriverFiles[] = {
    {"OKSV1VID.SYS", "KSV camera video driver"},
    {"OKSV1BLK.SYS", "KSV camera bulk transfer driver"},
};

std::vector<uint8_t> DriverFileBytes(const DriverFile& driver, const std::string& version) {
  platform::VersionInfo info;
  platform::ParseFileVersion(version, info.fileVersion);
  info.texts = {{"CompanyName", "Tarvio"},
                {"FileDescription", driver.description},
                {"FileVersion", version},
                {"OriginalFilename", driver.name},
                {"ProductName", "KSV camera"}};
  std::string preamble = std::string(driver.description) + " (runs inside ksvcam; this file "
                         "carries its version)\n";
  preamble.resize((preamble.size() + 3) / 4 * 4, '\n');  // the resource is 32-bit aligned
  std::vector<uint8_t> bytes(preamble.begin(), preamble.end());
  const std::vector<uint8_t> resource = platform::BuildVersionResource(info);
  bytes.insert(bytes.end(), resource.begin(), resource.end());
  return bytes;
}

}  // namespace

std::vector<fs::path> InstallDriverFiles(const fs::path& root, const std::string& version) {
  const fs::path folder = root / "system32" / "drivers";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw std::runtime_error("cannot create '" + folder.string() + "': " + error.message());
  }
  std::vector<fs::path> written;
  for (const DriverFile& driver : kDriverFiles) {
    const fs::path path = folder / driver.name;
    if (fs::exists(path, error)) continue;
    picture::WriteWholeFile(path, DriverFileBytes(driver, version), picture::ExistingFile::kKeep);
    written.push_back(path);
  }
  return written;
}

}  // namespace ksv::common
