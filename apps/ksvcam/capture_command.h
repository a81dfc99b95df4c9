// `ksvcam capture`: captures video from the simulated camera through the
// camera driver and the USB camera class driver, the whole way a capture
// application gets it, and writes the frames as a YUV4MPEG2 stream or as
// pictures. `--measure` also times decoding the same frames alone and
// prints both rates and their ratio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "apps/ksvcam/console.h"

namespace CLI {
class App;
}

namespace ksv::ksvcam {

struct CaptureOptions {
  std::string size = "320x240";
  std::string format = "i420";
  double fps = 30;        // the stream's rate; 0 takes every frame the camera sends
  uint32_t frames = 90;
  std::string outputPath; // a .y4m file
  std::string outDir;     // pictures
  bool overwrite = false;
  std::string photosDir;  // the scene; none: the moving test pattern
  bool measure = false;
  std::vector<std::string> controls;  // NAME=VALUE, applied before streaming
  uint32_t snapshotAt = 0;            // a snapshot after this frame; 0: none
  std::string snapshotVia = "button"; // or "registry"
};

CLI::App& AddCaptureCommand(CLI::App& app, CaptureOptions& options);

// Returns the exit status; throws UsageError or CommandFailure.
int RunCaptureCommand(const CaptureOptions& options, Console& console);

}  // namespace ksv::ksvcam
