#include "support/shipped_data.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>

#include "support/test_data.h"

namespace ksv::support {
namespace {

namespace fs = std::filesystem;

// Where the object holding this code lies (a module of lib/ksv, a library
// of lib, or the program itself), when the loader says so plainly.
fs::path ThisObjectFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ThisObjectFolder), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  const fs::path object = info.dli_fname;
  return object.is_absolute() ? object.parent_path() : fs::path();
}

fs::path RunningProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : program.parent_path();
}

}  // namespace

fs::path FindShippedPhotos(const std::vector<fs::path>& starts) {
  std::error_code error;
  for (const fs::path& start : starts) {
    if (start.empty()) continue;
    fs::path folder = start;
    for (int up = 0; up < 3 && folder.has_parent_path() && folder != folder.parent_path(); ++up) {
      folder = folder.parent_path();
      const fs::path candidate = folder / "share" / "ksv" / "photos";
      if (fs::is_directory(candidate, error)) return candidate;
    }
  }
  return {};
}

fs::path ShippedPhotosDir() { return FindShippedPhotos({ThisObjectFolder(), RunningProgramFolder()}); }

fs::path DefaultPhotosDir() {
  const char* variable = std::getenv("KSV_TESTDATA_DIR");
  if (variable != nullptr && *variable != '\0') return fs::path(variable) / "photos";
  fs::path shipped = ShippedPhotosDir();
  if (!shipped.empty()) return shipped;
  return TestDataPath("photos");
}

}  // namespace ksv::support
