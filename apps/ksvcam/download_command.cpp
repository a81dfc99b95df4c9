// `ksvcam download` and `ksvcam info`: the camera's stored items as files,
// and what the camera holds with the camera's and drivers' versions.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <memory>

#include "apps/ksvcam/camera_download.h"
#include "apps/ksvcam/camera_library.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/driver_files.h"
#include "include/oksv1api.h"
#include "platform/root/system_root.h"

namespace ksv::ksvcam {

namespace {

struct DownloadOptions {
  std::string memoryFile;  // empty: KSV_CAMERA_MEMORY, else the simulated camera
  std::string outDir;
  bool perItem = false;
  bool bitmaps = false;
  bool overwrite = false;
};

int RunDownload(const DownloadOptions& options, Console& console) {
  ChooseCamera(options.memoryFile);
  DownloadRequest request;
  request.outDir = options.outDir;
  request.perItem = options.perItem;
  request.bitmaps = options.bitmaps;
  request.overwrite = options.overwrite;
  // A bar where a person watches; plain lines into logs and pipes.
  request.progressBar = console.errIsTerminal && ::isatty(STDOUT_FILENO) == 1;
  const DownloadSummary summary = DownloadCamera(request, console);
  // Per-file failures were reported as they happened; the library's own
  // status comes last.
  if (summary.libraryStatus != 0) PrintError(console, summary.failures.back());
  console.out << SummaryText(summary, request.outDir) << std::flush;
  return summary.ok() ? kExitOk : kExitFailure;
}

std::string Version(int (*read)(KXCAMAPI_HANDLE, char*), KXCAMAPI_HANDLE context) {
  char text[256] = {};
  return read(context, text) == 0 ? std::string(text) : std::string("(not readable)");
}

std::string DriverVersion(int (*read)(char*)) {
  char text[256] = {};
  return read(text) == 1 ? std::string(text) : std::string("(not installed)");
}

int RunInfo(const std::string& memoryFile, Console& console) {
  const std::string camera = ChooseCamera(memoryFile);
  // The drivers' files are made on first use.
  for (const auto& file : InstallDriverFiles(platform::SystemRoot())) {
    console.err << "ksvcam: installed " << file.string() << '\n';
  }
  CameraLibrary library(nullptr, nullptr, 0);
  const KXCAMAPI_HANDLE context = library.get();
  int hq = 0, lq = 0, clips = 0, loRes = 0, bursts = 0;
  const bool counted = KXCAMAPI_GetNumHQImg(context, &hq) == 0 &&
                       KXCAMAPI_GetNumLQImg(context, &lq) == 0 &&
                       KXCAMAPI_GetNumVdoClip(context, &clips) == 0 &&
                       KXCAMAPI_GetNumVdoClip_LoRes(context, &loRes) == 0 &&
                       KXCAMAPI_GetNumBurst(context, &bursts) == 0;
  if (!counted) throw CommandFailure("the camera cannot count its items");
  console.out << "camera: " << camera << '\n'
              << "firmware: " << Version(KXCAMAPI_GetFWVer, context) << '\n'
              << "sensor: " << Version(KXCAMAPI_GetSensorVer, context) << '\n'
              << "chip: " << Version(KXCAMAPI_GetAsicVer, context) << '\n'
              << "high-quality pictures: " << hq << '\n'
              << "low-quality pictures: " << lq << '\n'
              << "clips: " << clips << '\n'
              << "low-resolution clips: " << loRes << '\n'
              << "burst pictures: " << bursts << '\n'
              << "video driver (OKSV1VID.SYS): " << DriverVersion(KXCAMAPI_GetVideoDriverVer) << '\n'
              << "bulk driver (OKSV1BLK.SYS): " << DriverVersion(KXCAMAPI_GetBulkDriverVer) << '\n'
              << std::flush;
  return kExitOk;
}

}  // namespace

CommandRun DownloadCommand(CLI::App& app) {
  auto options = std::make_shared<DownloadOptions>();
  CLI::App& command = *app.add_subcommand(
      "download",
      "Download every picture, burst and recording the camera stores into a folder (HQ0.JPG, "
      "WQ0.JPG, Burst0.JPG, Clip0.AVI, Raw0.WAV, each kind counted from 0).");
  command.add_option("--memory", options->memoryFile,
                     "Camera memory image to download from (default: KSV_CAMERA_MEMORY, else "
                     "the simulated camera)")
      ->type_name("FILE");
  command.add_option("--out", options->outDir, "Folder to write into (created if missing)")
      ->type_name("DIR")
      ->required();
  command.add_flag("--per-item", options->perItem,
                   "Fetch the items one at a time (raw recordings too, low-quality pictures at "
                   "320x240) instead of streaming the whole memory (low-quality pictures cut to "
                   "160x120)");
  command.add_flag("--bmp", options->bitmaps, "Write pictures as Windows bitmap files (.BMP)");
  command.add_flag("-y,--overwrite", options->overwrite,
                   "Replace files an earlier download left in the folder");
  return [options](Console& console) { return RunDownload(*options, console); };
}

CommandRun InfoCommand(CLI::App& app) {
  auto memoryFile = std::make_shared<std::string>();
  CLI::App& command = *app.add_subcommand(
      "info", "Show what the camera stores and the camera's and drivers' versions.");
  command.add_option("--memory", *memoryFile, "Camera memory image to look at")
      ->type_name("FILE");
  return [memoryFile](Console& console) { return RunInfo(*memoryFile, console); };
}

}  // namespace ksv::ksvcam
