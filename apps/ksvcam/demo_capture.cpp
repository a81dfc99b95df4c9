#include "apps/ksvcam/demo_capture.h"

#include "apps/ksvcam/capture_command.h"
#include "apps/ksvcam/capture_snapshot.h"
#include "apps/ksvcam/snapshot_convert_command.h"

namespace ksv::ksvcam {
namespace {

constexpr const char* kCaptureName = "capture.y4m";
constexpr const char* kSnapshotName = "snapshot.png";

}  // namespace

void CheckDemoCaptureFree(const std::filesystem::path& outDir) {
  for (const char* name : {kCaptureName, kSnapshotName}) {
    if (std::filesystem::exists(std::filesystem::symlink_status(outDir / name))) {
      throw CommandFailure("'" + outDir.string() + "' already holds '" + name +
                           "' from an earlier run; use -y/--overwrite to replace it");
    }
  }
}

bool RunDemoCapture(const std::filesystem::path& outDir, Console& console) {
  CaptureOptions options;
  options.frames = 60;
  options.outputPath = (outDir / kCaptureName).string();
  options.snapshotAt = 30;
  try {
    if (RunCaptureCommand(options, console) != kExitOk) return false;
    SnapshotConvertOptions convert;
    convert.snapshotPath = (PrepareSnapshotFolder() / "snapraw.dat").string();
    convert.outputPath = (outDir / kSnapshotName).string();
    if (RunSnapshotConvert(convert, console) != kExitOk) return false;
    console.out << "snapshot: converted to " << convert.outputPath << '\n' << std::flush;
    return true;
  } catch (const std::exception& failure) {
    PrintError(console, std::string("capture: ") + failure.what());
    return false;
  }
}

}  // namespace ksv::ksvcam
