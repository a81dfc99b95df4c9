#include "apps/ksvcam/stream_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <memory>

#include "apps/ksvcam/capture_stream.h"
#include "apps/ksvcam/decode_plan.h"
#include "apps/ksvcam/progress_line.h"
#include "apps/ksvcam/stream_output.h"
#include "driver/frame_assembly.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

struct StreamPlan {
  rig::VideoFormat format;
  StreamFormat kind = StreamFormat::kI420;
};

StreamFormat ParseStreamFormat(const std::string& name) {
  if (name == "i420") return StreamFormat::kI420;
  if (name == "bgr24") return StreamFormat::kBgr24;
  if (name == "kxjs") return StreamFormat::kKxjs;
  throw UsageError("--format '" + name + "' is not a stream format (choose i420, bgr24 or kxjs)");
}

StreamPlan PlanStream(const StreamOptions& options) {
  StreamPlan plan;
  plan.format.size = ParseFrameSize(options.size);
  if (!(plan.format.size == codec::FrameSize{320, 240}) &&
      !(plan.format.size == codec::FrameSize{160, 120})) {
    throw UsageError("--size " + options.size + " is not a size the camera streams (320x240 or "
                     "160x120)");
  }
  plan.kind = ParseStreamFormat(options.format);
  // Pass-through frames are opened on the planar format, as a capture
  // application asks for them.
  plan.format.compression = plan.kind == StreamFormat::kBgr24 ? codec::kCompressionRgb
                            : plan.kind == StreamFormat::kKxjs ? driver::kCompressionKxjs
                                                               : codec::kCompressionI420;
  plan.format.bitCount = plan.kind == StreamFormat::kBgr24 ? 24 : 12;
  if (options.interval < 0) throw UsageError("--interval must not be negative");
  plan.format.interval = options.interval;
  if (!options.outDir.empty() && !options.outputPath.empty()) {
    throw UsageError("give --out DIR or -o FILE.y4m, not both");
  }
  if (!options.outputPath.empty()) {
    if (fs::path(options.outputPath).extension() != ".y4m") {
      throw UsageError("-o writes a YUV4MPEG2 stream and needs a .y4m name; use --out DIR for "
                       "a file per frame");
    }
    if (plan.kind != StreamFormat::kI420) {
      throw UsageError("a .y4m stream holds planar frames; use --format i420");
    }
  }
  return plan;
}

std::string SummaryLine(const CaptureStreamTotals& totals, const FrameSink* sink) {
  char text[512];
  std::snprintf(text, sizeof text,
                "stream: %u frames seen, %llu delivered (%llu damaged, %u not decodable), "
                "%u dropped by pacing; %llu packets of %u bytes",
                totals.framesSeen, static_cast<unsigned long long>(totals.delivered),
                static_cast<unsigned long long>(totals.damaged), totals.notDecoded,
                totals.framesDropped, static_cast<unsigned long long>(totals.packets),
                totals.packetSize);
  std::string line = text;
  if (totals.oversized > 0) line += "; " + std::to_string(totals.oversized) + " oversized";
  if (totals.truncated > 0) {
    line += "; " + std::to_string(totals.truncated) + " pass-through frames cut to the buffer";
  }
  if (totals.statusChanges > 0) {
    line += "; camera status changed " + std::to_string(totals.statusChanges) + " times";
  }
  if (sink != nullptr) line += "; wrote " + sink->Description();
  return line + "\n";
}

}  // namespace

CLI::App& AddStreamCommand(CLI::App& app, StreamOptions& options) {
  CLI::App& command = *app.add_subcommand(
      "stream",
      "Replay a packet capture through the USB camera class driver and the camera driver, "
      "as a capture application streaming from the camera, and write the delivered frames.");
  command.add_option("-p,--packets", options.packetsPath, "Packet capture to replay (KSVISO01)")
      ->type_name("FILE.iso")
      ->required();
  command.add_option("-s,--size", options.size, "Stream size: 320x240 or 160x120")
      ->type_name("WxH")
      ->capture_default_str();
  command
      .add_option("-f,--format", options.format,
                  "Stream format: i420 (planar), bgr24 (24-bit) or kxjs (compressed frames "
                  "passed through)")
      ->type_name("FORMAT")
      ->capture_default_str();
  command
      .add_option("--interval", options.interval,
                  "Frame interval in 100-ns units (333333 is 30 frames/s); 0 streams unpaced")
      ->type_name("100NS")
      ->capture_default_str();
  command
      .add_option("--out", options.outDir,
                  "Folder for a file per frame: frame_000001.bmp, .i420 or .kxjs")
      ->type_name("DIR");
  command
      .add_option("-o,--output", options.outputPath,
                  "One YUV4MPEG2 stream of the frames (i420), replaced if it exists")
      ->type_name("FILE.y4m");
  command.add_flag("-y,--overwrite", options.overwrite,
                   "Replace frame files an earlier run left in the folder");
  return command;
}

int RunStream(const StreamOptions& options, Console& console) {
  const StreamPlan plan = PlanStream(options);
  std::ifstream capture(options.packetsPath, std::ios::binary);
  if (!capture) throw CommandFailure("cannot read '" + options.packetsPath + "'");
  std::error_code sizeError;
  const uintmax_t captureBytes = fs::file_size(options.packetsPath, sizeError);

  std::unique_ptr<FrameSink> sink;
  if (!options.outDir.empty()) {
    sink = MakeFolderSink(options.outDir, plan.kind, plan.format.size, options.overwrite);
  } else if (!options.outputPath.empty()) {
    sink = MakeY4mSink(options.outputPath, plan.format.size,
                       static_cast<uint64_t>(plan.format.interval));
  }

  ProgressLine progress(console, sizeError ? 0 : static_cast<size_t>(captureBytes >> 10));
  uint64_t frames = 0;
  const CaptureStreamTotals totals =
      StreamCapture(capture, plan.format, [&](std::span<const uint8_t> frame, bool) {
        if (sink) sink->Write(frame);
        const std::streamoff at = capture.tellg();
        progress.Show(at > 0 ? static_cast<size_t>(at >> 10) : 0,
                      "KiB read, frame " + std::to_string(++frames));
      });
  progress.Clear();
  if (sink) sink->Finish();
  console.out << SummaryLine(totals, sink.get()) << std::flush;
  return kExitOk;
}

}  // namespace ksv::ksvcam
