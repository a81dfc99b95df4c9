// `ksvcam download` and `ksvcam info`: the camera's stored items as files,
// and what the camera holds with the camera's and drivers' versions.
#pragma once

#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct DownloadOptions {
  std::string memoryFile;  // empty: KSV_CAMERA_MEMORY, else the simulated camera
  std::string outDir;
  bool perItem = false;
  bool bitmaps = false;
  bool overwrite = false;
};

struct InfoOptions {
  std::string memoryFile;
};

// Adds the subcommands to `app`; parsing fills the options.
CLI::App& AddDownloadCommand(CLI::App& app, DownloadOptions& options);
CLI::App& AddInfoCommand(CLI::App& app, InfoOptions& options);

// Return the exit status (1 when anything failed); throw UsageError or
// CommandFailure when they cannot start.
int RunDownload(const DownloadOptions& options, Console& console);
int RunInfo(const InfoOptions& options, Console& console);

}  // namespace ksv::ksvcam
