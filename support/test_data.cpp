#include "support/test_data.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace ksv::support {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVariable = "KSV_TESTDATA_DIR";

fs::path ProgramFolderOrThrow() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) throw TestDataNotFound(std::string("cannot tell where this program lies: ") +
                                    error.message() + "; set " + kVariable);
  return program.parent_path();
}

}  // namespace

fs::path FindTestDataDir(const char* variable, const fs::path& start) {
  if (variable != nullptr && *variable != '\0') return variable;
  std::error_code error;
  for (fs::path folder = start;; folder = folder.parent_path()) {
    const fs::path candidate = folder / "shared" / "testdata";
    if (fs::is_directory(candidate, error)) return candidate;
    if (folder == folder.parent_path()) break;
  }
  throw TestDataNotFound("no test data: " + std::string(kVariable) +
                         " is not set and no shared/testdata folder lies at or above '" +
                         start.string() + "'");
}

fs::path TestDataDir() {
  const char* variable = std::getenv(kVariable);
  if (variable != nullptr && *variable != '\0') return variable;
  return FindTestDataDir(nullptr, ProgramFolderOrThrow());
}

fs::path TestDataPath(std::string_view relative) { return TestDataDir() / relative; }

}  // namespace ksv::support
