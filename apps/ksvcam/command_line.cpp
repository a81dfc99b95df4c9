#include "apps/ksvcam/command_line.h"

#include <CLI/CLI.hpp>
#include <new>
#include <vector>

#include "apps/ksvcam/capture_command.h"
#include "apps/ksvcam/decode_command.h"
#include "apps/ksvcam/demo_command.h"
#include "apps/ksvcam/download_command.h"
#include "apps/ksvcam/memory_command.h"
#include "apps/ksvcam/controls_command.h"
#include "apps/ksvcam/registry_command.h"
#include "apps/ksvcam/setup_command.h"
#include "apps/ksvcam/simulate_packets_command.h"
#include "apps/ksvcam/snapshot_convert_command.h"
#include "apps/ksvcam/stream_command.h"

namespace ksv::ksvcam {
namespace {

// The subcommand the arguments named, for the "see --help" hint.
std::string HelpHint(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  const std::string command = chosen.empty() ? "ksvcam" : "ksvcam " + chosen.front()->get_name();
  return " (see '" + command + " --help')";
}

// CLI11 reports a mistyped subcommand only as a missing one; name it instead.
std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error,
                              std::span<const std::string> args) {
  if (app.get_subcommands().empty() && args.size() > 1 && !args[1].empty() &&
      args[1].front() != '-') {
    std::string choices;
    for (const CLI::App* command : app.get_subcommands({})) {
      choices += (choices.empty() ? "" : " or ") + command->get_name();
    }
    return "unknown subcommand '" + args[1] + "' (choose " + choices + ")";
  }
  return error.what();
}

// The packet-path subcommands and their options.
struct PacketCommands {
  StreamOptions streamOptions;
  SimulatePacketsOptions simulateOptions;
  CLI::App* stream = nullptr;
  CLI::App* simulate = nullptr;

  explicit PacketCommands(CLI::App& app)
      : stream(&AddStreamCommand(app, streamOptions)),
        simulate(&AddSimulatePacketsCommand(app, simulateOptions)) {}
};

int RunChosen(const CLI::App& decode, const DecodeOptions& decodeOptions, const CLI::App& demo,
              const DemoOptions& demoOptions, const PacketCommands& packets, Console& console) {
  if (decode.parsed()) return RunDecode(decodeOptions, console);
  if (demo.parsed()) return RunDemo(demoOptions, console);
  if (packets.stream->parsed()) return RunStream(packets.streamOptions, console);
  if (packets.simulate->parsed()) return RunSimulatePackets(packets.simulateOptions, console);
  throw UsageError("no subcommand given");
}

}  // namespace

int RunCommandLine(std::span<const std::string> args, Console& console) {
  CLI::App app{"Decodes the camera's compressed frames and runs the simulated camera.", "ksvcam"};
  app.set_version_flag("--version", "ksvcam " KSVCAM_VERSION);
  app.require_subcommand(1);
  DecodeOptions decodeOptions;
  DemoOptions demoOptions;
  CLI::App& decode = AddDecodeCommand(app, decodeOptions);
  CLI::App& demo = AddDemoCommand(app, demoOptions);
  const PacketCommands packets(app);
  MemoryOptions memoryOptions;
  const CLI::App& memory = AddMemoryCommand(app, memoryOptions);
  CaptureOptions captureOptions;
  const CLI::App& capture = AddCaptureCommand(app, captureOptions);
  RegistryOptions registryOptions;
  const CLI::App& registry = AddRegistryCommand(app, registryOptions);
  ControlsOptions controlsOptions;
  const CLI::App& controls = AddControlsCommand(app, controlsOptions);
  DownloadOptions downloadOptions;
  const CLI::App& download = AddDownloadCommand(app, downloadOptions);
  InfoOptions infoOptions;
  const CLI::App& info = AddInfoCommand(app, infoOptions);
  SetupOptions setupOptions;
  const CLI::App& setup = AddSetupCommand(app, setupOptions);
  SnapshotConvertOptions snapshotConvertOptions;
  const CLI::App& snapshotConvert = AddSnapshotConvertCommand(app, snapshotConvertOptions);

  std::vector<const char*> argv{"ksvcam"};
  if (!args.empty()) {
    argv.clear();
    for (const std::string& arg : args) argv.push_back(arg.c_str());
  }
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::Success& done) {  // --help, --version
    return app.exit(done, console.out, console.err);
  } catch (const CLI::ParseError& bad) {
    PrintError(console, ParseErrorMessage(app, bad, args) + HelpHint(app));
    return kExitUsage;
  }

  try {
    const int status = capture.parsed()    ? RunCaptureCommand(captureOptions, console)
                       : registry.parsed() ? RunRegistry(registry, registryOptions, console)
                       : controls.parsed() ? RunControls(controls, controlsOptions, console)
                       : download.parsed() ? RunDownload(downloadOptions, console)
                       : info.parsed()   ? RunInfo(infoOptions, console)
                       : setup.parsed()  ? RunSetup(setupOptions, console)
                       : snapshotConvert.parsed()
                           ? RunSnapshotConvert(snapshotConvertOptions, console)
                       : memory.parsed()
                           ? RunMemory(memoryOptions, console)
                           : RunChosen(decode, decodeOptions, demo, demoOptions, packets, console);
    console.out.flush();
    return status;
  } catch (const UsageError& bad) {
    PrintError(console, bad.what() + HelpHint(app));
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    PrintError(console, "out of memory");
  } catch (const std::exception& failure) {
    PrintError(console, failure.what());
  }
  return kExitFailure;
}

}  // namespace ksv::ksvcam
