// `ksvcam capture`: captures video from the simulated camera through the
// camera driver and the USB camera class driver, the whole way a capture
// application gets it, and writes the frames as a YUV4MPEG2 stream or as
// pictures. `--measure` also times decoding the same frames alone and
// prints both rates and their ratio.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "apps/ksvcam/capture_measure.h"
#include "apps/ksvcam/capture_session.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/frame_sinks.h"
#include "apps/ksvcam/interruption.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/photo_input.h"
#include "support/picture/atomic_path.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMaxFrames = 100'000;

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

CaptureSettings PlanCapture(const CaptureOptions& options) {
  CaptureSettings settings;
  settings.size = ParseStreamSize(options.size);
  settings.compression = ParseChoice<uint32_t>(
      options.format, "--format", "a capture format",
      {{"i420", codec::kCompressionI420}, {"bgr24", codec::kCompressionRgb}});
  settings.bitCount = settings.compression == codec::kCompressionRgb ? 24 : 12;
  if (!(options.fps == 0 || (options.fps >= 1 && options.fps <= 1000))) {
    throw UsageError("--fps must be 1 to 1000, or 0 to take every frame the camera sends");
  }
  settings.interval = options.fps == 0 ? 0 : std::llround(10'000'000.0 / options.fps);
  if (options.frames == 0 || options.frames > kMaxFrames) {
    throw UsageError("--frames must be 1 to " + std::to_string(kMaxFrames));
  }
  settings.frames = options.frames;
  for (const std::string& assignment : options.controls) {
    const auto [name, value] = ParseAssignment(assignment, "--set");
    settings.controls.emplace_back(&outside::camprop::FindControl(name), ParseWholeNumber(value));
  }
  if (options.snapshotAt != 0) {
    // The press reaches the driver with the next frame the camera starts.
    if (options.snapshotAt + 2 > options.frames) {
      throw UsageError("--snapshot-at must leave at least 2 frames after it (at most " +
                       std::to_string(options.frames > 2 ? options.frames - 2 : 0) + " for " +
                       std::to_string(options.frames) + " frames)");
    }
    settings.snapshot = {options.snapshotAt,
                         ParseChoice<SnapshotTrigger>(options.snapshotVia, "--snapshot-via", "a trigger",
                                     {{"button", SnapshotTrigger::kButton},
                                      {"registry", SnapshotTrigger::kRegistry}})};
  }
  CheckFrameOutput(options.outDir, options.outputPath,
                   settings.compression == codec::kCompressionI420);
  return settings;
}

std::string States(const std::vector<uint32_t>& states) {
  std::string text;
  for (uint32_t state : states) text += (text.empty() ? "" : " ") + std::to_string(state);
  return text;
}

std::string SummaryLine(const CaptureOptions& options, const CaptureReport& report,
                        const FrameSink* sink) {
  char text[512];
  std::snprintf(text, sizeof text,
                "capture: %llu frame%s %s %s (%llu damaged, %u not decodable, %u dropped by "
                "pacing) over alternate setting %u (%u-byte packets), %.1f frames/s; "
                "DriverStatus %s",
                static_cast<unsigned long long>(report.delivered), report.delivered == 1 ? "" : "s",
                options.size.c_str(),
                options.format.c_str(), static_cast<unsigned long long>(report.damaged),
                report.notDecoded, report.framesDropped, report.alternateSetting,
                report.packetSize,
                report.streamingSeconds > 0
                    ? static_cast<double>(report.delivered) / report.streamingSeconds
                    : 0.0,
                States(report.driverStates).c_str());
  std::string line = text;
  if (sink != nullptr) line += "; wrote " + sink->Description();
  return line + "\n";
}

// Throws CommandFailure when the driver wrote no snapshot.
std::string SnapshotLine(const SnapshotPlan& plan, const CaptureReport& report) {
  const fs::path file = PrepareSnapshotFolder() / "snapraw.dat";
  const char* via = plan.via == SnapshotTrigger::kButton ? "button" : "\"SnapShoot\"";
  if (!report.snapshotFrame) {
    throw CommandFailure(std::string("the driver wrote no snapshot after the ") + via +
                         " request at frame " + std::to_string(plan.afterFrame));
  }
  std::error_code error;
  const uintmax_t bytes = fs::file_size(file, error);
  return "snapshot: " + std::string(via) + " after frame " + std::to_string(plan.afterFrame) +
         ", taken from frame " + std::to_string(*report.snapshotFrame) + ", wrote " +
         file.string() + " (" + (error ? "missing" : std::to_string(bytes) + " bytes") + ")\n";
}

int RunCaptureCommand(const CaptureOptions& options, Console& console) {
  CaptureSettings settings = PlanCapture(options);
  if (!options.photosDir.empty()) {
    settings.photos = ReadAllPhotos(options.photosDir, "--photos", console);
  }

  // An unpaced .y4m stream runs at the camera's own 30 frames per second.
  const bool planar = settings.compression == codec::kCompressionI420;
  const std::unique_ptr<FrameSink> sink =
      MakeFrameSink(options.outDir, options.outputPath, planar ? FrameFile::kPng : FrameFile::kBmp,
                    settings.size, static_cast<uint64_t>(settings.interval), options.overwrite);
  ProgressLine progress(console, settings.frames);
  // Ctrl-C ends the capture after the frame it came in, its file whole; a
  // second one leaves no temporary file behind.
  const InterruptWatch interrupt;
  std::optional<AbortCleanup> cleanup;
  const bool toStandardOutput = options.outputPath == kStandardOutput;
  if (!options.outputPath.empty() && !toStandardOutput) {
    const fs::path output(options.outputPath);
    cleanup.emplace(output.has_parent_path() ? output.parent_path() : fs::path("."),
                    picture::TemporaryNamePrefix(output));
  }
  settings.stop = [] { return InterruptWatch::Requested(); };
  const CaptureReport report =
      RunCapture(settings, [&](std::span<const uint8_t> frame, bool, uint64_t number) {
        if (sink) sink->Write(frame);
        progress.Show(number, "frames");
      });
  progress.Clear();
  if (sink) sink->Finish();
  // With the frames on standard output the summary goes with the messages.
  std::ostream& summary = toStandardOutput ? console.err : console.out;
  summary << SummaryLine(options, report, sink.get());
  if (settings.snapshot.afterFrame != 0) summary << SnapshotLine(settings.snapshot, report);
  if (options.measure) summary << MeasureAgainstDecoding(settings, report) << '\n';
  summary << std::flush;
  return kExitOk;
}

}  // namespace

CommandRun CaptureCommand(CLI::App& app) {
  auto options = std::make_shared<CaptureOptions>();
  CLI::App& command = *app.add_subcommand(
      "capture",
      "Capture video from the simulated camera through the camera driver and the USB camera "
      "class driver, and write it as a YUV4MPEG2 stream or as pictures.");
  command.add_option("-s,--size", options->size, "Frame size: 320x240 or 160x120")
      ->type_name("WxH")
      ->capture_default_str();
  command.add_option("-f,--format", options->format, "i420 (planar) or bgr24 (24-bit)")
      ->type_name("FORMAT")
      ->capture_default_str();
  command
      .add_option("--fps", options->fps,
                  "Frames per second the stream asks for; 0 takes every frame the camera sends")
      ->type_name("N")
      ->capture_default_str();
  command.add_option("-n,--frames", options->frames, "Frames to capture")
      ->type_name("N")
      ->capture_default_str();
  command.add_option("-o,--output", options->outputPath,
                     "One YUV4MPEG2 stream (i420), replaced if it exists; - writes it to "
                     "standard output (ksvcam capture -o - | ffplay -)")
      ->type_name("FILE.y4m");
  command.add_option("--out", options->outDir,
                     "Folder for a picture a frame: frame_000001.png (i420) or .bmp (bgr24)")
      ->type_name("DIR");
  command.add_flag("-y,--overwrite", options->overwrite,
                   "Replace pictures an earlier run left in the folder");
  command
      .add_option("--photos", options->photosDir,
                  "Folder of PNG or JPEG photographs the camera shows in turn (default: a moving "
                  "test pattern)")
      ->type_name("DIR");
  command.add_option("--set", options->controls,
                     "Set a camera control before streaming, e.g. --set brightness=160 (see "
                     "'ksvcam controls list'; kept for later runs)")
      ->type_name("NAME=VALUE");
  CLI::Option* snapshotAt =
      command
          .add_option("--snapshot-at", options->snapshotAt,
                      "Take a snapshot after frame N: the driver writes snapraw.dat under "
                      "$KSV_ROOT/TWAIN_32/Orvan/KSV1 (convert it with 'ksvcam snapshot-convert')")
          ->type_name("N");
  command.add_option("--snapshot-via", options->snapshotVia,
                     "How the snapshot is asked for: button (the camera's button) or registry "
                     "(\"SnapShoot\" = 1, as an application does)")
      ->type_name("HOW")
      ->capture_default_str()
      ->needs(snapshotAt);
  command.add_flag("--measure", options->measure,
                   "Also time decoding the same frames alone and print the ratio");
  return [options](Console& console) { return RunCaptureCommand(*options, console); };
}

}  // namespace ksv::ksvcam
