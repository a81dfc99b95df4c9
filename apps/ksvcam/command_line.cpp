#include "apps/ksvcam/command_line.h"

#include <CLI/CLI.hpp>
#include <new>
#include <utility>
#include <vector>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/manual_page.h"
#include "outside/camprop/control_client.h"

namespace ksv::ksvcam {
namespace {

// In the order `ksvcam --help` lists them.
constexpr CommandDefinition kCommands[] = {
    DecodeCommand,   DemoCommand,     StreamCommand,    SimulatePacketsCommand,
    MemoryCommand,   CaptureCommand,  RegistryCommand,  ControlsCommand,
    DownloadCommand, InfoCommand,     SetupCommand,     SnapshotConvertCommand,
    FiltersCommand,  GraphCommand,    ResampleCommand,  AviInfoCommand,
    AviFixCommand,   DevicesCommand,  PreviewCommand,   RecordCommand,
    RecordAudioCommand, AviCommand,   WavCommand,       PlayCommand,
};

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

using Commands = std::vector<std::pair<const CLI::App*, CommandRun>>;

// The command line with every subcommand; what each one runs.
Commands DefineCommandLine(CLI::App& app) {
  app.set_version_flag("--version", "ksvcam " KSVCAM_VERSION);
  app.require_subcommand(1);
  Commands commands;
  for (const CommandDefinition define : kCommands) {
    CommandRun run = define(app);
    commands.emplace_back(app.get_subcommands({}).back(), std::move(run));
  }
  return commands;
}

constexpr const char* kDescription =
    "Decodes the camera's compressed frames and runs the simulated camera.";

}  // namespace

std::string CommandLineManualPage(std::string_view date) {
  CLI::App app{kDescription, "ksvcam"};
  DefineCommandLine(app);
  return ManualPage(app, KSVCAM_VERSION, date);
}

int RunCommandLine(std::span<const std::string> args, Console& console) {
  // The build writes the manual page with `ksvcam --manual-page DATE`; not
  // an option people need, so --help does not list it.
  if (args.size() >= 2 && args[1] == "--manual-page") {
    console.out << CommandLineManualPage(args.size() > 2 ? args[2] : "");
    console.out.flush();
    return console.out ? kExitOk : kExitFailure;
  }
  CLI::App app{kDescription, "ksvcam"};
  const Commands commands = DefineCommandLine(app);

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
    for (const auto& [command, run] : commands) {
      if (!command->parsed()) continue;
      const int status = run(console);
      console.out.flush();
      return status;
    }
    throw UsageError("no subcommand given");
  } catch (const UsageError& bad) {
    PrintError(console, bad.what() + HelpHint(app));
    return kExitUsage;
  } catch (const outside::camprop::BadControlRequest& bad) {
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
