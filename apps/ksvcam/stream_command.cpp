// `ksvcam stream --packets FILE.iso`: replays a packet capture the way a
// capture application streams from the camera: the camera driver registered
// with the USB camera class driver stand-in, a camera with the capture's
// packet size, a stream opened in the chosen format, and every packet
// delivered at its recorded time; each delivered frame is written.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <memory>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/frame_sinks.h"
#include "apps/ksvcam/parsers.h"
#include "platform/usbcamd/capture_replay.h"
#include "rig/camera_rig.h"
#include "simcam/simulated_camera.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

struct StreamOptions {
  std::string packetsPath;
  std::string size = "320x240";
  std::string format = "i420";
  int64_t interval = 333'333;  // 100-ns units; 0 streams without pacing
  std::string outDir;
  std::string outputPath;      // a .y4m file
  bool overwrite = false;
};

// The stream formats a capture application can open and the file a frame of
// each becomes.
struct StreamFormat {
  uint32_t compression;
  uint16_t bitCount;
  FrameFile file;
};

rig::VideoFormat PlanStream(const StreamOptions& options, FrameFile& file) {
  rig::VideoFormat format;
  format.size = ParseStreamSize(options.size);
  // Pass-through frames are opened on the planar format's bit count, as a
  // capture application asks for them.
  const StreamFormat chosen = ParseChoice<StreamFormat>(
      options.format, "--format", "a stream format",
      {{"i420", {codec::kCompressionI420, 12, FrameFile::kI420}},
       {"bgr24", {codec::kCompressionRgb, 24, FrameFile::kBmp}},
       {"kxjs", {rig::kCompressionPassThrough, 12, FrameFile::kKxjs}}});
  format.compression = chosen.compression;
  format.bitCount = chosen.bitCount;
  file = chosen.file;
  if (options.interval < 0) throw UsageError("--interval must not be negative");
  format.interval = options.interval;
  CheckFrameOutput(options.outDir, options.outputPath, file == FrameFile::kI420);
  return format;
}

// What the stream delivered and the camera status changes the driver
// published while it ran.
struct StreamTotals : rig::RigStatistics {
  uint64_t statusChanges = 0;
};

using DeliveredFrameHandler = std::function<void(std::span<const uint8_t> frame)>;

StreamTotals Replay(std::istream& capture, const rig::VideoFormat& format,
                    const DeliveredFrameHandler& onFrame) {
  try {
    platform::usbcamd::CaptureReplay replay(capture);
    // The camera that was recorded answers the driver; its pipe has the
    // recording's packet size, and the packets come from the recording at
    // their recorded times.
    simcam::CameraBehaviour recorded;
    recorded.fixedPacketSize = replay.MaximumPacketSize();
    simcam::SimulatedCamera camera(recorded);
    rig::CameraRig rig({.device = &camera,
                        .maximumPacketSize = replay.MaximumPacketSize(),
                        .clock = &replay.Clock()});
    rig::Require(rig.Start(), "starting the camera");
    rig::Require(rig.Open(format),
                 "opening the stream (packet size " + std::to_string(replay.MaximumPacketSize()) +
                     "; the camera's are 128 to 1023)");
    // Count what the stream reports, not the device start.
    const uint64_t statusBefore = rig.StatusChanges();
    while (replay.DeliverNext(rig.Camera())) {
      rig.RunSystemWorker();
      while (const auto frame = rig.TakeFrame()) onFrame(frame->data);
    }
    StreamTotals totals;
    static_cast<rig::RigStatistics&>(totals) = rig.Statistics();
    totals.packetSize = replay.MaximumPacketSize();
    totals.statusChanges = rig.StatusChanges() - statusBefore;
    return totals;
  } catch (const platform::usbcamd::CaptureFormatError& bad) {
    throw CommandFailure(bad.what());
  }
}

std::string SummaryLine(const StreamTotals& totals, const FrameSink* sink) {
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

int RunStream(const StreamOptions& options, Console& console) {
  FrameFile file = FrameFile::kI420;
  const rig::VideoFormat format = PlanStream(options, file);
  RequireRegularFile(options.packetsPath);
  std::ifstream capture(options.packetsPath, std::ios::binary);
  if (!capture) throw CommandFailure("cannot read " + Quoted(options.packetsPath));
  std::error_code sizeError;
  const uintmax_t captureBytes = fs::file_size(options.packetsPath, sizeError);

  const std::unique_ptr<FrameSink> sink =
      MakeFrameSink(options.outDir, options.outputPath, file, format.size,
                    static_cast<uint64_t>(format.interval), options.overwrite);

  ProgressLine progress(console, sizeError ? 0 : static_cast<size_t>(captureBytes >> 10));
  uint64_t frames = 0;
  const StreamTotals totals = Replay(capture, format, [&](std::span<const uint8_t> frame) {
    if (sink) sink->Write(frame);
    const std::streamoff at = capture.tellg();
    progress.Show(at > 0 ? static_cast<size_t>(at >> 10) : 0,
                  "KiB read, frame " + std::to_string(++frames));
  });
  progress.Clear();
  if (sink) sink->Finish();
  // With the frames on standard output the summary goes with the messages.
  std::ostream& report = options.outputPath == kStandardOutput ? console.err : console.out;
  report << SummaryLine(totals, sink.get()) << std::flush;
  return kExitOk;
}

}  // namespace

CommandRun StreamCommand(CLI::App& app) {
  auto options = std::make_shared<StreamOptions>();
  CLI::App& command = *app.add_subcommand(
      "stream",
      "Replay a packet capture through the USB camera class driver and the camera driver, "
      "as a capture application streaming from the camera, and write the delivered frames.");
  command.add_option("-p,--packets", options->packetsPath, "Packet capture to replay (KSVISO01)")
      ->type_name("FILE.iso")
      ->required();
  command.add_option("-s,--size", options->size, "Stream size: 320x240 or 160x120")
      ->type_name("WxH")
      ->capture_default_str();
  command
      .add_option("-f,--format", options->format,
                  "Stream format: i420 (planar), bgr24 (24-bit) or kxjs (compressed frames "
                  "passed through)")
      ->type_name("FORMAT")
      ->capture_default_str();
  command
      .add_option("--interval", options->interval,
                  "Frame interval in 100-ns units (333333 is 30 frames/s); 0 streams unpaced")
      ->type_name("100NS")
      ->capture_default_str();
  command
      .add_option("--out", options->outDir,
                  "Folder for a file per frame: frame_000001.bmp, .i420 or .kxjs")
      ->type_name("DIR");
  command
      .add_option("-o,--output", options->outputPath,
                  "One YUV4MPEG2 stream of the frames (i420), replaced if it exists; - writes "
                  "it to standard output")
      ->type_name("FILE.y4m");
  command.add_flag("-y,--overwrite", options->overwrite,
                   "Replace frame files an earlier run left in the folder");
  return [options](Console& console) { return RunStream(*options, console); };
}

}  // namespace ksv::ksvcam
