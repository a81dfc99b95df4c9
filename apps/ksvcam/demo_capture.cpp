#include "apps/ksvcam/demo_capture.h"

#include "apps/ksvcam/capture_command.h"

namespace ksv::ksvcam {
namespace {

constexpr const char* kCaptureName = "capture.y4m";

}  // namespace

void CheckDemoCaptureFree(const std::filesystem::path& outDir) {
  const auto path = outDir / kCaptureName;
  if (std::filesystem::exists(std::filesystem::symlink_status(path))) {
    throw CommandFailure("'" + outDir.string() + "' already holds '" + kCaptureName +
                         "' from an earlier run; use -y/--overwrite to replace it");
  }
}

bool RunDemoCapture(const std::filesystem::path& outDir, Console& console) {
  CaptureOptions options;
  options.frames = 60;
  options.outputPath = (outDir / kCaptureName).string();
  try {
    return RunCaptureCommand(options, console) == kExitOk;
  } catch (const std::exception& failure) {
    PrintError(console, std::string("capture: ") + failure.what());
    return false;
  }
}

}  // namespace ksv::ksvcam
