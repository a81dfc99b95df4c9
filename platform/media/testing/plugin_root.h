// For the tests of filter plug-ins: a fresh system root (KSV_ROOT) in a
// temporary folder, COM initialised on the test's thread, and the named
// plug-ins registered in it as an installer would
// (the media framework's own module first, so their filters reach the
// filter mapper). Everything is undone when the object goes.
//
//   PluginRoot root({"ksvfilesource.so", "ksvavisplit.so"});
//   ASSERT_TRUE(root.ok()) << root.error();
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_files.h"

namespace ksv::media::testing {

class PluginRoot {
 public:
  explicit PluginRoot(const std::vector<std::string>& modules);
  ~PluginRoot();
  PluginRoot(const PluginRoot&) = delete;
  PluginRoot& operator=(const PluginRoot&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // A folder for the test's own files.
  std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }

  // The build's folder of shipped modules (lib/ksv).
  static std::filesystem::path ModuleFolder();
  // The named module: a shipped one of ModuleFolder(), else a test's own
  // plug-in (lib/ksv-tests).
  static std::filesystem::path ModulePath(const std::string& module);

 private:
  ksv::testing::TempFolder folder_;
  std::string error_;
  bool comInitialised_ = false;
};

}  // namespace ksv::media::testing
