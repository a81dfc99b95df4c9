// `ksvcam download` and `ksvcam info`: the camera's stored items as files,
// and what the camera holds with the camera's and drivers' versions.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <memory>

#include <chrono>
#include <cstdio>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/media_setup.h"
#include "common/driver_files.h"
#include "include/oksv1api.h"
#include "platform/root/system_root.h"

namespace ksv::ksvcam {
namespace {

using outside::download::DownloadSummary;

// The download as the person watching sees it: a line per file on stdout,
// failures on stderr, and a bar on the progress line redrawn only when
// what it shows changes.
class ConsoleListener final : public outside::download::DownloadListener {
 public:
  ConsoleListener(Console& console, bool listFiles, bool progressBar)
      : console_(console), listFiles_(listFiles), bar_(console, 0, progressBar) {}

  void Written(const std::string& name, uintmax_t bytes) override {
    bar_.Clear();
    if (listFiles_) console_.out << name << ": " << bytes << " bytes\n";
  }
  void Failed(const std::string& line) override {
    bar_.Clear();
    console_.err << "ksvcam: error: " << line << '\n';
  }
  void Skipped(const std::string& line) override {
    bar_.Clear();
    console_.err << "ksvcam: skipped " << line << '\n';
  }
  void Progress(unsigned items, unsigned overall, unsigned item, const std::string& name) override {
    if (drawn_ && overall == overall_ && item == item_ && items == items_) return;
    // The stream reports every 64 bytes: at most 20 redraws a second, but
    // every change of the overall figure.
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && overall == overall_ && now - lastDraw_ < std::chrono::milliseconds(50)) return;
    lastDraw_ = now;
    overall_ = overall;
    item_ = item;
    items_ = items;
    drawn_ = true;
    constexpr unsigned kWidth = 30;
    const unsigned filled = overall * kWidth / 100;
    bar_.Draw("[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
              std::to_string(overall) + "%  " + std::to_string(items) + " items done, current " +
              std::to_string(item) + "%  " + name);
  }

 private:
  Console& console_;
  bool listFiles_;
  ProgressLine bar_;
  bool drawn_ = false;
  unsigned overall_ = 0, item_ = 0, items_ = 0;
  std::chrono::steady_clock::time_point lastDraw_;
};

std::string SummaryText(const DownloadSummary& summary, const std::filesystem::path& outDir) {
  char text[512];
  std::snprintf(text, sizeof text, "download: %zu file%s, %zu bytes in '%s' in %.1f s",
                summary.files, summary.files == 1 ? "" : "s", summary.bytes,
                outDir.string().c_str(), summary.seconds);
  std::string line = text;
  if (!summary.skipped.empty()) {
    line += "; " + std::to_string(summary.skipped.size()) + " item" +
            (summary.skipped.size() == 1 ? "" : "s") + " skipped (--per-item converts them)";
  }
  if (!summary.failures.empty()) {
    line += "; " + std::to_string(summary.failures.size()) + " failed";
  }
  return line + "\n";
}

struct DownloadOptions {
  std::string memoryFile;  // empty: KSV_CAMERA_MEMORY, else the simulated camera
  std::string outDir;
  bool perItem = false;
  bool bitmaps = false;
  bool overwrite = false;
  bool ksv = false;
  bool firstFrames = false;
};

int RunDownload(const DownloadOptions& options, Console& console) {
  if (options.ksv && options.firstFrames) {
    throw UsageError("--first-frames cannot go with --ksv: in KSV mode the camera library keeps "
                     "no first frame of a clip");
  }
  ChooseCamera(options.memoryFile);
  const outside::download::DownloadRequest request{options.outDir,    options.perItem,
                                                   options.bitmaps,   options.overwrite,
                                                   options.ksv,       options.firstFrames};
  // A bar where a person watches; plain lines into logs and pipes.
  return DownloadInto(request, console, true, ::isatty(STDOUT_FILENO) == 1) ? kExitOk
                                                                           : kExitFailure;
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
  for (const auto& file : common::InstallDriverFiles(platform::SystemRoot(), KSVCAM_VERSION)) {
    console.err << "ksvcam: installed " << file.string() << '\n';
  }
  outside::download::CameraLibrary library(nullptr, nullptr, 0);
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

bool DownloadInto(const outside::download::DownloadRequest& request, Console& console,
                  bool listFiles, bool progressBar) {
  // Clips are converted through the media framework's filters.
  EnsureMediaFramework();
  DownloadSummary summary;
  {
    ConsoleListener listener(console, listFiles, progressBar);
    summary = outside::download::DownloadCamera(request, listener);
  }
  // Per-file failures were reported as they happened; the library's own
  // status comes last.
  if (summary.libraryStatus != 0) PrintError(console, summary.failures.back());
  console.out << SummaryText(summary, request.outDir) << std::flush;
  return summary.ok();
}

CommandRun DownloadCommand(CLI::App& app) {
  auto options = std::make_shared<DownloadOptions>();
  CLI::App& command = *app.add_subcommand(
      "download",
      "Download every picture, burst, clip and recording the camera stores into a folder "
      "(HQ0.JPG, WQ0.JPG, Burst0.JPG, Clip0.AVI, Raw0.WAV, each kind counted from 0). Streamed "
      "clips carry their sound; clips fetched one at a time (--per-item) are video only.");
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
  command.add_flag("--ksv", options->ksv,
                   "Open the camera library in KSV mode (streamed clips get no clip information "
                   "file and no AVI fix, so no first frames)");
  command.add_flag("--first-frames", options->firstFrames,
                   "Also save each clip's first frame as Clip0.png, ... (from the camera library, "
                   "when the clip is done)");
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
