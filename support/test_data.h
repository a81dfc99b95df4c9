// Where the test photographs and reference frames are, found at run time so
// that no binary carries a path of the machine it was built on. The project
// is checked out with `shared/` beside its folder, so the data lies in the
// first `shared/testdata` above the running program.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace ksv::support {

class TestDataNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// $KSV_TESTDATA_DIR when it is set and not empty; else the first
// `shared/testdata` folder found in the running program's folder or one of
// the folders above it. Throws TestDataNotFound, naming where it looked.
std::filesystem::path TestDataDir();

// `relative` (for example "photos/astronaut.png") under TestDataDir().
std::filesystem::path TestDataPath(std::string_view relative);

// The search itself: `variable` (the value of KSV_TESTDATA_DIR, or null)
// when not empty, else the first `shared/testdata` folder at or above
// `start`.
std::filesystem::path FindTestDataDir(const char* variable, const std::filesystem::path& start);

}  // namespace ksv::support
