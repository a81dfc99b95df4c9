// `ksvcam simulate-packets -o FILE.iso`: records what the simulated camera
// sends on its isochronous pipe while streaming pictures (PNG or JPEG files,
// or a built-in moving test pattern), with bus faults if asked, as a packet
// capture that `ksvcam stream` replays.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/photo_input.h"
#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "simcam/simulated_capture.h"
#include "simcam/test_pattern.h"
#include "support/picture/colour.h"
#include "support/picture/picture.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

// The frames and the capture are built in memory: 100 s of video at 30
// frames/s stays well under 200 MB.
constexpr uint32_t kMaxFrames = 3'000;

struct SimulatePacketsOptions {
  std::vector<std::string> pictures;  // empty: the test pattern
  std::string outputPath;
  std::string size = "320x240";
  uint32_t frames = 30;
  double framesPerSecond = 30;
  uint32_t packetSize = 640;
  int level = 3;
  double loss = 0;
  double shortened = 0;
  double failed = 0;
  double outOfOrder = 0;
  uint64_t seed = 1;
  std::optional<uint32_t> buttonFrame;  // 1-based
};

struct SimulationPlan {
  codec::FrameSize encoded;  // the camera's frame: 160 x 128 for the small stream
  simcam::CaptureOptions capture;
};

SimulationPlan PlanSimulation(const SimulatePacketsOptions& options) {
  SimulationPlan plan;
  plan.encoded = ParseStreamSize(options.size);
  // The small stream's frames are the taller ones the driver crops.
  if (plan.encoded.width == 160) plan.encoded.height = 128;
  if (options.frames == 0 || options.frames > kMaxFrames) {
    throw UsageError("--frames must be 1 to " + std::to_string(kMaxFrames));
  }
  if (!(options.framesPerSecond >= 0.1 && options.framesPerSecond <= 1000)) {
    throw UsageError("--fps must be 0.1 to 1000");
  }
  if (options.packetSize < 128 || options.packetSize > 1023) {
    throw UsageError("--packet-size must be 128 to 1023 (the camera's alternate settings)");
  }
  if (options.level < 0 || options.level > 3) throw UsageError("--level must be 0 to 3");
  CheckRate(options.loss, "--loss");
  CheckRate(options.shortened, "--short");
  CheckRate(options.failed, "--fail");
  CheckRate(options.outOfOrder, "--reorder");
  if (options.loss + options.shortened + options.failed + options.outOfOrder > 1) {
    throw UsageError("the fault rates add up to more than 1");
  }
  if (options.buttonFrame && (*options.buttonFrame == 0 || *options.buttonFrame > options.frames)) {
    throw UsageError("--button names a frame from 1 to --frames");
  }
  plan.capture.maximumPacketSize = static_cast<uint16_t>(options.packetSize);
  plan.capture.framesPerSecond = options.framesPerSecond;
  if (options.buttonFrame) plan.capture.buttonFrame = *options.buttonFrame - 1;
  simcam::FaultRates rates{options.loss, options.shortened, options.failed, options.outOfOrder,
                           options.seed};
  if (options.loss + options.shortened + options.failed + options.outOfOrder > 0) {
    plan.capture.faults = simcam::RandomFaults(rates);
  }
  return plan;
}

// The camera's frames: each picture framed to the sensor size, cycled over
// the frames, or the moving test pattern.
std::vector<std::vector<uint8_t>> EncodeFrames(const SimulatePacketsOptions& options,
                                               const SimulationPlan& plan, Console& console) {
  std::vector<picture::PlanarPicture> scenes;
  ReadPhotoFiles(options.pictures, console,
                 [&](const std::filesystem::path&, picture::RgbPicture&& photo) {
                   scenes.push_back(picture::RgbToPlanar(
                       simcam::FitToSize(photo, plan.encoded.width, plan.encoded.height)));
                 });
  ProgressLine progress(console, options.frames);
  std::vector<std::vector<uint8_t>> frames;
  for (uint32_t i = 0; i < options.frames; ++i) {
    progress.Show(i + 1, "encoding");
    const picture::PlanarPicture scene =
        scenes.empty()
            ? picture::RgbToPlanar(simcam::TestPattern(plan.encoded.width, plan.encoded.height, i))
            : scenes[i % scenes.size()];
    frames.push_back(simcam::EncodeFrame(scene, options.level));
  }
  return frames;
}

std::string SummaryLine(const SimulatePacketsOptions& options, const SimulationPlan& plan,
                        const simcam::CaptureSummary& summary) {
  const simcam::FrameFaults& f = summary.faults;
  char text[512];
  std::snprintf(text, sizeof text,
                "simulate-packets: %u frames %ux%u level %d at %g frames/s, %llu packets of %u "
                "bytes over %.2f s; faults: %u lost, %u short, %u failed, %u out of order in "
                "%u frames; wrote '%s'\n",
                summary.frames, plan.encoded.width, plan.encoded.height, options.level,
                options.framesPerSecond, static_cast<unsigned long long>(summary.packets),
                options.packetSize, static_cast<double>(summary.endTime) / 1e7, f.lost,
                f.shortened, f.failed, f.outOfOrder, summary.damagedFrames,
                options.outputPath.c_str());
  return text;
}

int RunSimulatePackets(const SimulatePacketsOptions& options, Console& console) {
  const SimulationPlan plan = PlanSimulation(options);
  const std::vector<std::vector<uint8_t>> frames = EncodeFrames(options, plan, console);
  std::ostringstream capture;
  const simcam::CaptureSummary summary =
      simcam::WriteSimulatedCapture(capture, frames, plan.capture);
  const std::string bytes = std::move(capture).str();
  picture::WriteWholeFile(options.outputPath,
                          {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  console.out << SummaryLine(options, plan, summary) << std::flush;
  return kExitOk;
}

}  // namespace

CommandRun SimulatePacketsCommand(CLI::App& app) {
  auto options = std::make_shared<SimulatePacketsOptions>();
  CLI::App& command = *app.add_subcommand(
      "simulate-packets",
      "Record the simulated camera's isochronous packets while it streams pictures (or a "
      "moving test pattern) into a packet capture for 'ksvcam stream'.");
  command
      .add_option("PICTURE", options->pictures,
                  "PNG or JPEG pictures to stream, cycled (default: "
                  "the test pattern)")
      ->type_name("PICTURE");
  command.add_option("-o,--output", options->outputPath, "Packet capture to write, replaced if it "
                     "exists")
      ->type_name("FILE.iso")
      ->required();
  command.add_option("-s,--size", options->size, "Stream size: 320x240 or 160x120 (sent as "
                     "160x128 frames)")
      ->type_name("WxH")
      ->capture_default_str();
  command.add_option("-n,--frames", options->frames, "Frames to record, at most 3000")
      ->capture_default_str();
  command.add_option("--fps", options->framesPerSecond, "Frames per second the camera sends")
      ->capture_default_str();
  command.add_option("--packet-size", options->packetSize,
                     "MaximumPacketSize of the data pipe, 128 to 1023")
      ->capture_default_str();
  command.add_option("--level", options->level, "Compression level 0 to 3")->capture_default_str();
  command.add_option("--loss", options->loss, "Rate of lost packets, 0 to 1")->capture_default_str();
  command.add_option("--short", options->shortened, "Rate of packets cut short")
      ->capture_default_str();
  command.add_option("--fail", options->failed, "Rate of packets with a failure status")
      ->capture_default_str();
  command.add_option("--reorder", options->outOfOrder, "Rate of packets arriving out of order")
      ->capture_default_str();
  command.add_option("--seed", options->seed, "Seed of the fault generator")->capture_default_str();
  command
      .add_option_function<uint32_t>(
          "--button", [options](const uint32_t& frame) { options->buttonFrame = frame; },
          "Press the snapshot button during this frame (1-based)")
      ->type_name("FRAME");
  return [options](Console& console) { return RunSimulatePackets(*options, console); };
}

}  // namespace ksv::ksvcam
