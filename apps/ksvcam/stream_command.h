// `ksvcam stream --packets FILE.iso`: replays a packet capture through the
// USB camera class driver stand-in and the camera driver, as a capture
// application streaming from the camera would see it, and writes each
// delivered frame.
#pragma once

#include <cstdint>
#include <string>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct StreamOptions {
  std::string packetsPath;
  std::string size = "320x240";
  std::string format = "i420";
  int64_t interval = 333'333;  // 100-ns units; 0 streams without pacing
  std::string outDir;
  std::string outputPath;      // a .y4m file
  bool overwrite = false;
};

CLI::App& AddStreamCommand(CLI::App& app, StreamOptions& options);

// Returns the exit status; throws UsageError or CommandFailure.
int RunStream(const StreamOptions& options, Console& console);

}  // namespace ksv::ksvcam
