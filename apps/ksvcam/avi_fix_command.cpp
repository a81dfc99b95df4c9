// `ksvcam avi-fix FILE [-o OUT]`: re-saves an AVI file through the AVI fix
// library so that it plays under the media control interface: in place, or
// into a copy.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "apps/ksvcam/commands.h"
#include "include/clipmend.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

// The library calls a plain function; it draws on the running command's
// line (one fix runs at a time in a process).
ProgressLine* activeProgress = nullptr;

int DrawProgress(int percent) {
  if (activeProgress != nullptr) activeProgress->Draw("fixing: " + std::to_string(percent) + "%");
  return 1;
}

std::string Code(FixResult result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

std::string WhyNotOpened(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "it is a folder";
  if (!fs::is_regular_file(status)) return "not a plain file";
  return "not an AVI file with a video stream the fix can read";
}

std::string FailureMessage(FixResult result, const std::string& source, const std::string& target) {
  const std::string unchanged = "; " + Quoted(source) + " is unchanged (" + Code(result) + ")";
  switch (result) {
    case FIXAVI_E_CANNOT_OPEN:
      return "cannot fix " + Quoted(source) + ": " + WhyNotOpened(source) + " (" + Code(result) +
             ")";
    case FIXAVI_E_NO_FRAMES:
      return "cannot fix " + Quoted(source) + ": its video stream holds no frames" + unchanged;
    case FIXAVI_E_DISK_FULL:
      return "cannot write " + Quoted(target) + ": the disk is full" + unchanged;
    case FIXAVI_E_OUT_OF_MEMORY:
      return "cannot fix " + Quoted(source) + ": out of memory" + unchanged;
    case FIXAVI_E_SOURCE_MOVED:
      return "cannot fix " + Quoted(source) +
             ": it was moved to a test name and could not be moved back; it is whole, as "
             "AVM<hex>.TMP in its folder (" + Code(result) + ")";
    default:
      return "cannot fix " + Quoted(source) +
             ": the new file could not be saved, or " + Quoted(target) +
             " cannot be replaced (read-only, a folder, or in a folder that cannot be written)" +
             unchanged;
  }
}

struct AviFixOptions {
  std::string path;
  std::string outputPath;
};

int RunAviFix(const AviFixOptions& options, Console& console) {
  const std::string& target = options.outputPath.empty() ? options.path : options.outputPath;
  FixResult result;
  {
    ProgressLine progress(console);
    activeProgress = &progress;
    result = options.outputPath.empty()
                 ? FixAVIForMCIControl(options.path.c_str(), DrawProgress)
                 : FixAVICopyForMCIControl(options.path.c_str(), target.c_str(), DrawProgress);
    activeProgress = nullptr;
  }
  if (result != FIXAVI_OK) throw CommandFailure(FailureMessage(result, options.path, target));
  console.out << (options.outputPath.empty() ? "fixed " + Quoted(options.path) + " in place"
                                             : "wrote " + Quoted(target))
              << '\n';
  return kExitOk;
}

}  // namespace

CommandRun AviFixCommand(CLI::App& app) {
  auto options = std::make_shared<AviFixOptions>();
  CLI::App& command = *app.add_subcommand(
      "avi-fix",
      "Re-save an AVI file so that it plays under the media control interface: starting on a "
      "key frame, with its sound interleaved, an idx1 index and a main header counted afresh.");
  command.add_option("FILE", options->path, "AVI file to fix; replaced only once the new one is whole")
      ->type_name("FILE")
      ->required();
  command
      .add_option("-o,--output", options->outputPath,
                  "Write the fixed file here instead (replaced if it exists); FILE stays as it is")
      ->type_name("FILE");
  return [options](Console& console) { return RunAviFix(*options, console); };
}

}  // namespace ksv::ksvcam
