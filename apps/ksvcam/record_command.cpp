// `ksvcam record -o FILE.avi [--device NAME] [--size WxH] [--compressor
// NAME] [--audio-device NAME] [--audio-compressor NAME] [--seconds S]`: the
// media graph library's video capture from a camera (with the sound of a
// microphone, the first one listed unless named) into an AVI file, and
// `ksvcam record-audio -o FILE.wav [--audio-device NAME] [--compressor
// NAME] [--seconds S]`: its audio capture into a WAV file. Both run in real
// time until S seconds have passed on the machine's clock or Escape is
// pressed, with a progress line, and end with a summary of the file.
// `record --measure` adds the process's processor time per frame, less what
// the simulated hardware spent making its pictures and sound.
#include <CLI/CLI.hpp>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

#include "apps/ksvcam/command_files.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/file_checks.h"
#include "apps/ksvcam/device_sizes.h"
#include "apps/ksvcam/option_checks.h"
#include "apps/ksvcam/graph_client.h"
#include "apps/ksvcam/graph_names.h"
#include "apps/ksvcam/media_summary.h"
#include "apps/ksvcam/parsers.h"
#include "platform/hardware/device_list.h"

namespace ksv::ksvcam {
namespace {

struct RecordOptions {
  std::string output;
  std::string device;
  std::string size;
  std::string compressor;
  std::string audioDevice;
  std::string audioCompressor;
  double seconds = 0;
  bool measure = false;
};

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// User and system time of every thread of this process so far.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// "measure: ..." for a recording of `frames` frames: the process's
// processor time, the simulated devices' own work, and the rest per frame.
std::string MeasureLine(size_t frames) {
  const double total = ProcessorSeconds();
  double hardware = 0;
  for (const platform::hardware::HardwareDevice* device :
       platform::hardware::EnumerateDevices().devices) {
    hardware += device->WorkSeconds();
  }
  char line[256];
  std::snprintf(line, sizeof line,
                "measure: processor time %.1f ms (every thread, start to end), of which the "
                "simulated devices' own work %.1f ms; the host's %.3f ms a frame over %zu frames",
                total * 1e3, hardware * 1e3, (total - hardware) * 1e3 / double(frames), frames);
  return line;
}

// Runs the built capture with a progress line.
GraphClient::Outcome RunCapture(GraphClient& client, double seconds, const std::string& what,
                                Console& console) {
  ProgressLine progress(console);
  GraphRunLimits limits;
  limits.seconds = seconds;
  limits.onTick = [&](double done) {
    progress.Draw("recording " + what + " " + DurationText(done) + " (Escape stops)");
  };
  const GraphClient::Outcome outcome = client.Run(limits);
  progress.Clear();
  return outcome;
}

int RunRecord(const RecordOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "record writes an AVI file", ".avi");
  CheckSomethingStopsIt(options.seconds, false);
  CheckOutputPath(options.output, {});
  EnsureMediaMachine();
  std::optional<codec::FrameSize> size;
  if (!options.size.empty()) size = ParseFrameSize(options.size);
  GraphClient client;
  const std::string device = ChooseName(NameList::VideoDevices, options.device, "--device");
  if (device.empty()) throw CommandFailure("there is no video capture device");
  const std::string compressor =
      ChooseName(NameList::VideoCompressors, options.compressor, "--compressor");
  const std::string audioDevice =
      ChooseName(NameList::AudioDevices, options.audioDevice, "--audio-device");
  const std::string audioCompressor = options.audioCompressor.empty()
                                          ? std::string()
                                          : ChooseName(NameList::AudioCompressors,
                                                       options.audioCompressor, "--audio-compressor");
  if (!audioCompressor.empty() && audioDevice.empty()) {
    throw UsageError("--audio-compressor needs an audio capture device, and there is none");
  }

  std::optional<QmgVideoFormat> format;
  if (size) {
    const std::vector<codec::FrameSize> offered = DeviceFrameSizes(device);
    const bool ok = std::any_of(offered.begin(), offered.end(), [&](const codec::FrameSize& s) {
      return s.width == size->width && s.height == size->height;
    });
    if (!ok && !offered.empty()) {
      std::string choices;
      for (size_t n = 0; n < offered.size(); ++n) {
        choices += (n == 0 ? "" : n + 1 == offered.size() ? " or " : ", ") + SizeText(offered[n]);
      }
      throw UsageError("--size " + options.size + ": " + Quoted(device) + " does not offer it (choose " +
                       choices + ")");
    }
    format = FormatOfSize(device, size->width, size->height);
  }
  // The file replaces one of that name (the person named it), once whole.
  OutputFile output(options.output, {});
  client.CheckBuilt(QMG_BuildCaptureVideo(client.handle(), device.c_str(),
                                          format ? &*format : nullptr,
                                          options.compressor.empty() ? nullptr : compressor.c_str(),
                                          OrNull(audioDevice), OrNull(audioCompressor),
                                          output.temporary().c_str()),
                    "the capture from " + Quoted(device));
  const GraphClient::Outcome outcome = RunCapture(client, options.seconds, "video", console);
  const AviSummary summary = SummariseAvi(output.temporary());
  if (summary.frames == 0) throw CommandFailure("the capture holds no frame");
  output.Commit();
  console.out << "recorded " << options.output << " from " << Quoted(device)
              << (audioDevice.empty() ? std::string() : " and " + Quoted(audioDevice)) << ": "
              << summary.text << " (" << EndText(outcome.end) << " after "
              << DurationText(outcome.seconds) << ")\n";
  if (options.measure) console.out << MeasureLine(summary.frames) << '\n';
  return kExitOk;
}

int RunRecordAudio(const RecordOptions& options, Console& console) {
  CheckOutputExtension(options.output, "-o", "record-audio writes a WAV file", ".wav");
  CheckSomethingStopsIt(options.seconds, false);
  CheckOutputPath(options.output, {});
  EnsureMediaMachine();
  GraphClient client;
  const std::string audioDevice =
      ChooseName(NameList::AudioDevices, options.audioDevice, "--audio-device");
  if (audioDevice.empty()) throw CommandFailure("there is no audio capture device");
  const std::string compressor = options.compressor.empty()
                                     ? std::string()
                                     : ChooseName(NameList::AudioCompressors, options.compressor,
                                                  "--compressor");
  OutputFile output(options.output, {});
  client.CheckBuilt(QMG_BuildCaptureAudio(client.handle(), audioDevice.c_str(),
                                          OrNull(compressor), output.temporary().c_str()),
                    "the audio capture from " + Quoted(audioDevice));
  const GraphClient::Outcome outcome = RunCapture(client, options.seconds, "sound", console);
  const std::string summary = SummariseWav(output.temporary());
  output.Commit();
  console.out << "recorded " << options.output << " from " << Quoted(audioDevice) << ": "
              << summary << " (" << EndText(outcome.end) << " after "
              << DurationText(outcome.seconds) << ")\n";
  return kExitOk;
}

void AddSeconds(CLI::App& command, RecordOptions& options) {
  command.add_option("--seconds", options.seconds, "Stop after this many seconds (else Escape)")
      ->type_name("S")
      ->check(AboveZero());
}

}  // namespace

CommandRun RecordCommand(CLI::App& app) {
  auto options = std::make_shared<RecordOptions>();
  CLI::App& command = *app.add_subcommand(
      "record", "Records a camera and a microphone into an AVI file in real time");
  command.add_option("-o,--output", options->output, "The AVI file to write")
      ->type_name("FILE.avi")
      ->required();
  command.add_option("-d,--device", options->device, "The video capture device (see 'devices')")
      ->type_name("NAME");
  command.add_option("-s,--size", options->size, "The picture size the device streams")
      ->type_name("WxH");
  command.add_option("-c,--compressor", options->compressor, "A video compressor (else none)")
      ->type_name("NAME");
  command.add_option("--audio-device", options->audioDevice,
                     "The audio capture device (else the first listed)")
      ->type_name("NAME");
  command.add_option("--audio-compressor", options->audioCompressor,
                     "An audio compressor (else PCM)")
      ->type_name("NAME");
  AddSeconds(command, *options);
  command.add_flag("--measure", options->measure,
                   "Also print the processor time per frame, less the simulated devices' own work");
  return [options](Console& console) { return RunRecord(*options, console); };
}

CommandRun RecordAudioCommand(CLI::App& app) {
  auto options = std::make_shared<RecordOptions>();
  CLI::App& command = *app.add_subcommand(
      "record-audio", "Records a microphone into a WAV file in real time");
  command.add_option("-o,--output", options->output, "The WAV file to write")
      ->type_name("FILE.wav")
      ->required();
  command.add_option("--audio-device", options->audioDevice,
                     "The audio capture device (else the first listed)")
      ->type_name("NAME");
  command.add_option("-c,--compressor", options->compressor, "An audio compressor (else PCM)")
      ->type_name("NAME");
  AddSeconds(command, *options);
  return [options](Console& console) { return RunRecordAudio(*options, console); };
}

}  // namespace ksv::ksvcam
