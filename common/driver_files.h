// The drivers' files under the system folder. The system's drivers run in
// this process, so their files only carry what other parts read from them:
// the version resource. They are made on first use.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ksv::common {

// Writes $ROOT/system32/drivers/OKSV1VID.SYS and OKSV1BLK.SYS, each a short
// text followed by a version resource whose "FileVersion" is `version`
// ("0.1.0"), unless they are there already. Returns the files written.
// Throws std::runtime_error when the folder or a file cannot be written.
std::vector<std::filesystem::path> InstallDriverFiles(const std::filesystem::path& root,
                                                      const std::string& version);

}  // namespace ksv::common
